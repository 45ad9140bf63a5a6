// ambutil's registry and UUID exports, checked against the store and the log.

#include "UtilsTest.h"

#include "quillon/registry/Registry.h"
#include "quillon/utils/AmbUtil.h"

#include <cerrno>
#include <regex>

using namespace qln::utils;
using qln::test::Logged;
using qln::test::oneLine;

namespace {

const std::string kError = "ERROR";
const std::string kInfo = "INFO";
const std::string kNoError = "0";
const std::string kMissing = std::to_string(ENOENT);

std::string readString(std::uint32_t hive, const char* key, const char* field, std::int32_t bufferSize = 4096)
{
    std::string buffer(static_cast<std::size_t>(bufferSize), '#');
    if (GetRegistryString(hive, key, field, buffer.data(), bufferSize) != 1) return "<failed>";
    return buffer.c_str();
}

} // namespace

using AmbUtil = qln::test::UtilsTest;

TEST_F(AmbUtil, TextsAndNumbersRoundTripThroughTheSharedStore)
{
    ASSERT_EQ(PutRegistryString(HKEY_LOCAL_MACHINE, "Software\\Kelvaro\\Quillon 2000", "SoilsPath", "/data/soils"), 1);
    ASSERT_EQ(PutRegistryInt(HKEY_CURRENT_USER, "Software\\Kelvaro", "Count", -7), 1);
    ASSERT_EQ(PutRegistryString(HKEY_LOCAL_MACHINE, "Software\\Kelvaro", "", nullptr), 1);

    std::int32_t size = -1;
    EXPECT_EQ(GetRegistrySize(HKEY_LOCAL_MACHINE, "software\\kelvaro\\QUILLON 2000", "soilspath", &size), 1);
    EXPECT_EQ(size, 12); // with the terminating zero
    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, "Software\\Kelvaro\\Quillon 2000", "SoilsPath", size), "/data/soils");
    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, "Software\\Kelvaro", ""), "");
    std::int32_t number = 0;
    EXPECT_EQ(GetRegistryInt(HKEY_CURRENT_USER, "Software\\Kelvaro", "Count", &number), 1);
    EXPECT_EQ(number, -7);
    EXPECT_EQ(GetRegistrySize(HKEY_CURRENT_USER, "Software\\Kelvaro", "Count", &size), 1);
    EXPECT_EQ(size, 4);

    // Other programs see the values through the store.
    const auto store = qln::registry::Store::fromEnvironment();
    const auto stored = store.getValue(qln::registry::Hive::CurrentUser, "Software\\Kelvaro", "Count");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, qln::registry::ValueType::DWord);
    EXPECT_EQ(static_cast<std::int32_t>(stored->number), -7);
}

TEST_F(AmbUtil, AMissingValueOrKeyGivesZeroAndIsLogged)
{
    ASSERT_EQ(PutRegistryInt(HKEY_LOCAL_MACHINE, "Software\\Kelvaro", "Present", 1), 1);
    std::int32_t size = 99;
    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, "Software\\Kelvaro", "EnableQLNDialog"), "<failed>");
    EXPECT_EQ(GetRegistrySize(HKEY_LOCAL_MACHINE, "Software\\Kelvaro", "EnableQLNDialog", &size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_TRUE(wasLogged({kError, "QueryRegistryKey", "402", kMissing, "Unable to query the registry for EnableQLNDialog."}));

    std::int32_t number = 5;
    EXPECT_EQ(GetRegistryInt(HKEY_LOCAL_MACHINE, "Software\\Nobody", "x", &number), 0);
    EXPECT_EQ(number, 5);
    EXPECT_TRUE(wasLogged({kError, "OpenRegistryKey", "1", kMissing,
                           "Unable to open the registry for: Hive = -2147483646; Key = Software\\Nobody; Access = 1"}));
    // Reading never creates a key.
    EXPECT_FALSE(qln::registry::Store::fromEnvironment().keyExists(qln::registry::Hive::LocalMachine, "Software\\Nobody"));
}

TEST_F(AmbUtil, ABufferTooSmallGivesZeroAndTheSizeNeeded)
{
    ASSERT_EQ(PutRegistryString(HKEY_LOCAL_MACHINE, "K", "Name", "abcd"), 1);
    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, "K", "Name", 5), "abcd");
    std::string buffer(4, '#');
    EXPECT_EQ(GetRegistryString(HKEY_LOCAL_MACHINE, "K", "Name", buffer.data(), 4), 0);
    EXPECT_EQ(buffer, "####");
    EXPECT_TRUE(wasLogged({kError, "QueryRegistryKey", "402", std::to_string(ERANGE), "Unable to query the registry for Name."}));
    EXPECT_TRUE(wasLogged({kError, "QueryRegistryKey", "1", kNoError, "Query Buffer for Name was too small. Need a buffer size of 5"}));
    // A text longer than 4 bytes cannot be read as a number.
    std::int32_t number = 0;
    EXPECT_EQ(GetRegistryInt(HKEY_LOCAL_MACHINE, "K", "Name", &number), 0);
}

TEST_F(AmbUtil, TextsUpTo2047CharactersAreStoredAndLongerOnesRefused)
{
    const std::string fits(2047, 'x');
    ASSERT_EQ(PutRegistryString(HKEY_LOCAL_MACHINE, "K", "Long", fits.c_str()), 1);
    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, "K", "Long", 2048), fits);

    const std::string tooLong(2048, 'y');
    EXPECT_EQ(PutRegistryString(HKEY_LOCAL_MACHINE, "K", "Long", tooLong.c_str()), 0);
    EXPECT_EQ(PutRegistryString(HKEY_LOCAL_MACHINE, "NewKey", "Long", tooLong.c_str()), 0);
    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, "K", "Long", 2048), fits);
    EXPECT_FALSE(qln::registry::Store::fromEnvironment().keyExists(qln::registry::Hive::LocalMachine, "NewKey"));
    EXPECT_TRUE(wasLogged({kError, "PutRegistryString", "1", kNoError,
                           oneLine("The string is too large to store within the registry.\nAttempt to store the "
                                   "string in a file, and save the filename instead")}));
}

TEST_F(AmbUtil, OnlyThePredefinedHivesAreAccepted)
{
    EXPECT_EQ(DeleteRegistryKey(0x000001A4, "Software"), 0);
    EXPECT_TRUE(wasLogged({kError, "OpenRegistryKey", "1", kNoError, "Invalid Registry Hive: 1A4"}));
    EXPECT_EQ(PutRegistryInt(0x80000007, "K", "x", 1), 0);
    EXPECT_TRUE(wasLogged({kError, "OpenRegistryKey", "1", kNoError, "Invalid Registry Hive: 80000007"}));
    EXPECT_EQ(PutRegistryInt(0x7FFFFFFF, "K", "x", 1), 0);
    EXPECT_TRUE(wasLogged({kError, "OpenRegistryKey", "1", kNoError, "Invalid Registry Hive: 7FFFFFFF"}));

    for (std::uint32_t hive = 0x80000000; hive <= 0x80000006; ++hive) EXPECT_EQ(PutRegistryInt(hive, "K", "x", 1), 1) << hive;
}

TEST_F(AmbUtil, OpeningForWritingNotesWhetherTheKeyWasCreated)
{
    ASSERT_EQ(PutRegistryInt(HKEY_LOCAL_MACHINE, "A\\B", "x", 1), 1);
    ASSERT_EQ(PutRegistryInt(HKEY_LOCAL_MACHINE, "A\\B", "x", 2), 1);
    EXPECT_TRUE(wasLogged({kInfo, "OpenRegistryKey", "1", kNoError,
                           oneLine("Attempted RegCreateKeyEx for the key: A\\B.\nThe key was opened by creating a new key")}));
    EXPECT_TRUE(wasLogged({kInfo, "OpenRegistryKey", "1", kNoError,
                           oneLine("Attempted RegCreateKeyEx for the key: A\\B.\nThe key was opened by opening an existing key")}));

    // The note is cut to 255 characters; the key itself is written whole.
    std::string deep;
    for (int i = 0; i < 6; ++i) deep += (i ? "\\" : "") + std::string(50, static_cast<char>('a' + i));
    ASSERT_EQ(PutRegistryInt(HKEY_LOCAL_MACHINE, deep.c_str(), "x", 3), 1);
    EXPECT_TRUE(wasLogged({kInfo, "OpenRegistryKey", "1", kNoError, ("Attempted RegCreateKeyEx for the key: " + deep).substr(0, 255)}));
    std::int32_t number = 0;
    EXPECT_EQ(GetRegistryInt(HKEY_LOCAL_MACHINE, deep.c_str(), "x", &number), 1);
    EXPECT_EQ(number, 3);
}

TEST_F(AmbUtil, DeletingTakesTheWholeSubtreeAndNeverAHive)
{
    ASSERT_EQ(PutRegistryInt(HKEY_LOCAL_MACHINE, "Gone\\Sub\\Deeper", "x", 1), 1);
    ASSERT_EQ(PutRegistryInt(HKEY_LOCAL_MACHINE, "Kept", "x", 1), 1);
    EXPECT_EQ(DeleteRegistryKey(HKEY_LOCAL_MACHINE, "gone"), 1);
    const auto store = qln::registry::Store::fromEnvironment();
    EXPECT_FALSE(store.keyExists(qln::registry::Hive::LocalMachine, "Gone"));

    const Logged refused{kError, "DeleteRegistryKey", "1", kMissing,
                         oneLine("Unable to delete the key.\nCheck the permissions to delete a registry key")};
    EXPECT_EQ(DeleteRegistryKey(HKEY_LOCAL_MACHINE, "Gone"), 0);
    EXPECT_TRUE(wasLogged(refused));
    EXPECT_EQ(DeleteRegistryKey(HKEY_LOCAL_MACHINE, ""), 0);
    EXPECT_TRUE(wasLogged({kError, "DeleteRegistryKey", "1", std::to_string(EINVAL), refused.text}));
    EXPECT_TRUE(store.keyExists(qln::registry::Hive::LocalMachine, "Kept"));
}

TEST_F(AmbUtil, UuidsAre36LowerCaseCharactersWhenTheBufferHoldsThem)
{
    char id[37], tooSmall[36] = "untouched";
    ASSERT_EQ(GenerateUUID(id, sizeof id), 1);
    EXPECT_TRUE(std::regex_match(id, std::regex("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}"))) << id;
    EXPECT_EQ(GenerateUUID(tooSmall, sizeof tooSmall), 0);
    EXPECT_STREQ(tooSmall, "untouched");
}
