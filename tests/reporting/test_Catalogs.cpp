#include "../support/LoadedLibrary.h"

#include "quillon/registry/Registry.h"
#include "quillon/reporter/Display.h"
#include "quillon/reporter/Format.h"
#include "quillon/reporter/MessageTable.h"
#include "quillon/reporter/Reporter.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;
using qln::registry::Hive;
using qln::registry::ValueType;
using qln::reporter::MessageTable;
using qln::test::LoadedLibrary;

constexpr std::int32_t kEUnexpected = static_cast<std::int32_t>(0x8000FFFF);
const std::string kEventSourceKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\AMBApps2";

MessageTable tableOf(const LoadedLibrary& library)
{
    const auto* resource =
        static_cast<const qln::reporter::MessageTableResource*>(library.symbol(qln::reporter::kMessageTableSymbol));
    EXPECT_EQ(resource->language, 1033u);
    return MessageTable::parse({resource->data, resource->size});
}

std::string format(const MessageTable& table, std::uint32_t id, const std::vector<std::string>& inserts)
{
    const std::string* stored = table.find(id);
    return stored ? qln::reporter::formatMessage(*stored, inserts) : "<missing " + std::to_string(id) + ">";
}

class Catalogs : public ::testing::Test {
protected:
    qln::test::TempFolder folder;
    LoadedLibrary messages{AMBMESSAGES_LIBRARY};
    LoadedLibrary categories{AMBCATEGORIES_LIBRARY};
};

// Boxes of the registration, captured.
class BoxCatcher : public qln::reporter::DisplayHandler {
public:
    void show(const qln::reporter::Notice&) override {}
    std::int32_t ask(const qln::reporter::Question& question) override
    {
        texts.push_back(question.text);
        return 1;
    }
    std::vector<std::string> texts;
};

} // namespace

TEST_F(Catalogs, TheMessageTableHoldsEveryReportedMessageWithItsExactText)
{
    const MessageTable table = tableOf(messages);
    const std::map<std::uint32_t, std::string> reported{
        {1, "%1"},
        {19, "The algorithm selected is not valid!"},
        {203, "%1 System Error. %2."},
        {402, "Unable to query the registry for %1."},
        {403, "Unable to write to the registry for %1."},
        {602, "Unable to find the file %1."},
        {804, "ODBC Data source name (DSN) %1 not found."},
        {1218, "Unable to locate the Legend files in %1."},
        {1451, "This Interpretation is not yet supported."},
        {1453, "The selected interpretation (%1) is not in the database table."},
        {1454, "Quillon requires 2 arguments:\r\n1) Pathname of directory containing shapefile\r\n"
               "2) Filename of attribute file containing MUSYM data"},
        {1500, "%1 will be added to the view as a temporary theme.  To add the theme to the project, activate it "
               "then select Convert to Shapefile from the Theme menu."},
        {1501, "This interpretation has already been added to the view.  Do you want to replace it?"},
    };
    for (const auto& [id, text] : reported) {
        const std::string* stored = table.find(id);
        ASSERT_NE(stored, nullptr) << "message " << id;
        EXPECT_EQ(*stored, text + "%0\r\n") << "message " << id;
    }
}

TEST_F(Catalogs, EveryEntryEndsWithTheEndMarkAndEveryRangeOpensWithABanner)
{
    const MessageTable table = tableOf(messages);
    for (const auto& [id, text] : table.entries()) {
        EXPECT_TRUE(text.ends_with("%0\r\n")) << "message " << id;
    }
    for (std::uint32_t base = 0; base <= 2000; base += 200) {
        const std::string* banner = table.find(base);
        ASSERT_NE(banner, nullptr) << "banner " << base;
        EXPECT_TRUE(banner->starts_with("*****")) << *banner;
        EXPECT_EQ(std::count(banner->begin(), banner->end(), '\n'), 3) << "three lines: " << *banner;
    }
    EXPECT_NE(table.find(400)->find("registry messages (401 - 599)"), std::string::npos);
}

TEST_F(Catalogs, TheCategoryTableIsOneBlockOfFiftyNineNames)
{
    const MessageTable table = tableOf(categories);
    ASSERT_EQ(table.blocks().size(), 1u);
    EXPECT_EQ(table.blocks()[0], (MessageTable::Block{1, 59}));
    EXPECT_EQ(format(table, 1, {}), "Unknown");
    EXPECT_EQ(format(table, 14, {}), "Quillon");
    for (const auto& [id, text] : table.entries()) {
        EXPECT_TRUE(text.ends_with("%0\r\n")) << id;
    }
}

TEST_F(Catalogs, FormattedTextsOfTheCatalog)
{
    const MessageTable table = tableOf(messages);
    const std::string usage = format(table, 1454, {});
    EXPECT_EQ(usage, "Quillon requires 2 arguments:\n1) Pathname of directory containing shapefile\n"
                     "2) Filename of attribute file containing MUSYM data");
    EXPECT_FALSE(usage.ends_with('\n'));
    EXPECT_EQ(format(table, 402, {"EnableQLNDialog"}), "Unable to query the registry for EnableQLNDialog.");
    EXPECT_EQ(format(table, 203, {"Fatal", "Out of memory for the running application"}),
              "Fatal System Error. Out of memory for the running application.");
    EXPECT_EQ(format(table, 1, {"A free text with 100% and |bars|"}), "A free text with 100% and |bars|");
}

TEST_F(Catalogs, RegisteringInEitherOrderLeavesOneKeyWithFourValues)
{
    for (const bool messagesFirst : {true, false}) {
        qln::test::TempFolder fresh;
        qln::registry::Store store(fresh / "registry");
        const LoadedLibrary& first = messagesFirst ? messages : categories;
        const LoadedLibrary& second = messagesFirst ? categories : messages;
        ASSERT_EQ(first.call("DllRegisterServer"), 0);
        ASSERT_EQ(second.call("DllRegisterServer"), 0);

        auto names = store.valueNames(Hive::LocalMachine, kEventSourceKey);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"CategoryCount", "CategoryMessageFile", "EventMessageFile",
                                                   "TypesSupported"}));
        const auto eventFile = store.getValue(Hive::LocalMachine, kEventSourceKey, "EventMessageFile");
        const auto categoryFile = store.getValue(Hive::LocalMachine, kEventSourceKey, "CategoryMessageFile");
        ASSERT_TRUE(eventFile && categoryFile);
        EXPECT_EQ(eventFile->type, ValueType::ExpandString);
        EXPECT_EQ(categoryFile->type, ValueType::ExpandString);
        EXPECT_TRUE(fs::equivalent(eventFile->text, AMBMESSAGES_LIBRARY));
        EXPECT_TRUE(fs::equivalent(categoryFile->text, AMBCATEGORIES_LIBRARY));
        const auto types = store.getValue(Hive::LocalMachine, kEventSourceKey, "TypesSupported");
        const auto count = store.getValue(Hive::LocalMachine, kEventSourceKey, "CategoryCount");
        ASSERT_TRUE(types && count);
        EXPECT_EQ(types->type, ValueType::DWord);
        EXPECT_EQ(types->number, 7u);
        EXPECT_EQ(count->number, 100u);
    }
}

TEST_F(Catalogs, RegistrationFromAnotherFolderRecordsTheLibrarysOwnFolder)
{
    const fs::path before = fs::current_path();
    fs::create_directories(folder / "elsewhere");
    fs::current_path(folder / "elsewhere");
    const std::int32_t result = messages.call("DllRegisterServer");
    fs::current_path(before);
    ASSERT_EQ(result, 0);
    const auto value = qln::registry::Store(folder / "registry")
                           .getValue(Hive::LocalMachine, kEventSourceKey, "EventMessageFile");
    ASSERT_TRUE(value);
    EXPECT_EQ(fs::path(value->text).parent_path(), fs::path(AMBMESSAGES_LIBRARY).parent_path());
    EXPECT_TRUE(fs::exists(value->text));
}

TEST_F(Catalogs, UnregisteringEitherRemovesTheWholeKeyAndSucceedsWhenItIsAbsent)
{
    qln::registry::Store store(folder / "registry");
    ASSERT_EQ(messages.call("DllRegisterServer"), 0);
    ASSERT_EQ(categories.call("DllRegisterServer"), 0);
    EXPECT_EQ(categories.call("DllUnregisterServer"), 0);
    EXPECT_FALSE(store.keyExists(Hive::LocalMachine, kEventSourceKey));
    EXPECT_EQ(messages.call("DllUnregisterServer"), 0);
    EXPECT_EQ(categories.call("DllUnregisterServer"), 0);
}

TEST_F(Catalogs, AnUnusableRegistryFailsWithTheStepsBox)
{
    auto boxes = std::make_shared<BoxCatcher>();
    qln::reporter::setDisplayHandler(boxes);
    // A file where the registry folder should be: nothing below it can be created.
    std::ofstream(folder / "blocked") << "not a folder";
    ::setenv("QUILLON_REGISTRY_ROOT", (folder / "blocked").c_str(), 1);
    EXPECT_EQ(messages.call("DllRegisterServer"), kEUnexpected);
    EXPECT_EQ(categories.call("DllRegisterServer"), kEUnexpected);
    qln::reporter::setDisplayHandler(nullptr);
    EXPECT_EQ(boxes->texts, (std::vector<std::string>(2, "Unable to open the registry key to register the MRU.")));
}

TEST_F(Catalogs, TheReporterFindsTheRegisteredTexts)
{
    ASSERT_EQ(messages.call("DllRegisterServer"), 0);
    ASSERT_EQ(categories.call("DllRegisterServer"), 0);
    ASSERT_EQ(InitBatchMsgReportingVers("AMBApps", 2, 14), 1);
    ReportSimpleMessage(4, 0, "GetRegistrySettings", 402, 1, "|EnableQLNDialog");
    std::ifstream log(folder / "state" / "quillon" / "AMBApps2.log");
    std::string line;
    ASSERT_TRUE(std::getline(log, line));
    EXPECT_NE(line.find(" | ERROR | Quillon | "), std::string::npos) << line;
    EXPECT_TRUE(line.ends_with(" | GetRegistrySettings | 402 | 0 | Unable to query the registry for EnableQLNDialog."))
        << line;
    EXPECT_FALSE(std::getline(log, line)) << "no complaint about the catalogs: " << line;
}
