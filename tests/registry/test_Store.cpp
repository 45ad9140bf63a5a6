#include "quillon/registry/Registry.h"

#include "TempRoot.h"

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace qln::registry;
namespace fs = std::filesystem;

namespace {

constexpr auto LM = Hive::LocalMachine;

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

std::string text(const std::optional<Value>& value)
{
    return value ? value->text : "<none>";
}

// The one value file of a key folder that holds a single value.
fs::path onlyValueFile(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? fs::path() : files.front();
}

void overwrite(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

} // namespace

using Store_ = RegistryTest;

TEST_F(Store_, NamesIgnoreCaseAndKeepTheirFirstSpelling)
{
    Store store(root());
    store.setString(LM, "Software\\Kelvaro\\Quillon 2000", "SoilsPath", "one");
    EXPECT_EQ(text(store.getValue(LM, "SOFTWARE\\kelvaro\\quillon 2000", "soilspath")), "one");

    store.setString(LM, "software\\KELVARO\\Quillon 2000", "SOILSPATH", "two");
    store.createKey(LM, "SOFTWARE\\kelvaro");
    EXPECT_EQ(text(store.getValue(LM, "Software\\Kelvaro\\Quillon 2000", "SoilsPath")), "two");
    EXPECT_EQ(store.valueNames(LM, "Software\\Kelvaro\\Quillon 2000"), std::vector<std::string>{"SoilsPath"});
    EXPECT_EQ(store.subKeys(LM, "software"), std::vector<std::string>{"Kelvaro"});
    EXPECT_EQ(store.subKeys(LM, ""), std::vector<std::string>{"Software"});
}

TEST_F(Store_, EmptySegmentsOfAKeyPathAreIgnored)
{
    Store store(root());
    store.setDWord(LM, "\\A\\\\B\\", "n", 7);
    EXPECT_TRUE(store.keyExists(LM, "A\\B"));
    EXPECT_EQ(store.getValue(LM, "A\\B", "n")->number, 7u);
    EXPECT_EQ(store.subKeys(LM, "A"), std::vector<std::string>{"B"});
}

TEST_F(Store_, ValuesKeepTheirTypeAndData)
{
    Store store(root());
    const std::string awkward("line one\nline two\0with zero", 27);
    store.setValue(LM, "K", "Text", Value{ValueType::String, awkward, 0});
    store.setValue(LM, "K", "Path", Value{ValueType::ExpandString, "%HOME%/x", 0});
    store.setDWord(LM, "K", "Zero", 0);
    store.setDWord(LM, "K", "Max", 0xFFFFFFFFu);
    store.setString(LM, "K", "", "default");
    store.setString(LM, "K", "Empty", "");

    EXPECT_EQ(store.getValue(LM, "K", "Text")->text, awkward);
    EXPECT_EQ(store.getValue(LM, "K", "Path")->type, ValueType::ExpandString);
    EXPECT_EQ(store.getValue(LM, "K", "Zero")->type, ValueType::DWord);
    EXPECT_EQ(store.getValue(LM, "K", "Max")->number, 0xFFFFFFFFu);
    EXPECT_EQ(text(store.getValue(LM, "K", "")), "default");
    EXPECT_EQ(text(store.getValue(LM, "K", "Empty")), "");
    EXPECT_EQ(sorted(store.valueNames(LM, "K")),
              (std::vector<std::string>{"", "Empty", "Max", "Path", "Text", "Zero"}));
    store.setDWord(LM, "K", "Text", 3);
    EXPECT_EQ(store.getValue(LM, "K", "Text")->number, 3u);
}

TEST_F(Store_, MissingKeysAndValuesAreNotErrors)
{
    Store store(root());
    EXPECT_FALSE(store.keyExists(LM, "No\\Such"));
    EXPECT_FALSE(store.getValue(LM, "No\\Such", "v"));
    EXPECT_TRUE(store.valueNames(LM, "No\\Such").empty());
    EXPECT_TRUE(store.subKeys(LM, "No").empty());
    EXPECT_FALSE(store.deleteValue(LM, "No", "v"));
    EXPECT_FALSE(store.deleteKey(LM, "No\\Such"));
    store.setString(LM, "Yes", "v", "x");
    EXPECT_TRUE(store.deleteValue(LM, "YES", "V"));
    EXPECT_FALSE(store.getValue(LM, "Yes", "v"));
}

TEST_F(Store_, OddNamesStayInsideTheRoot)
{
    Store store(root());
    const std::vector<std::string> names{"a*b", "x.y:z", "  blank ", ".", "..", "../../escape",
                                         "..\\..\\escape", "/etc/passwd", "%41", "A", "\xc3\xa9t\xc3\xa9"};
    for (const auto& name : names) store.setString(LM, "Odd Key: *.*", name, "value of " + name);
    for (const auto& name : names)
        EXPECT_EQ(text(store.getValue(LM, "odd key: *.*", name)), "value of " + name) << name;
    // "A" and "%41" must not meet in one file.
    EXPECT_EQ(sorted(store.valueNames(LM, "Odd Key: *.*")), sorted(names));
    EXPECT_EQ(store.subKeys(LM, ""), std::vector<std::string>{"Odd Key: *.*"});

    EXPECT_THROW(store.setString(LM, "Odd Key: *.*\\..\\..\\..\\escape", "v", "x"), RegistryError);
    EXPECT_THROW(store.createKey(LM, "..\\escape"), RegistryError);
    EXPECT_THROW(store.deleteKey(LM, "A\\.\\B"), RegistryError);
    const std::string hiveFolder = (root() / "HKEY_LOCAL_MACHINE").string();
    for (const auto& entry : fs::recursive_directory_iterator(folder()))
        EXPECT_TRUE(entry.path() == root() || entry.path().string().starts_with(hiveFolder))
            << entry.path() << " lies outside the hive's folder";
}

TEST_F(Store_, DeleteKeyRemovesTheWholeSubtree)
{
    Store store(root());
    store.setString(LM, "Top\\Mid\\Low", "v", "x");
    store.setDWord(LM, "Top\\Mid", "n", 1);
    store.setString(LM, "Top\\Sibling", "v", "kept");

    EXPECT_TRUE(store.deleteKey(LM, "top\\MID"));
    EXPECT_FALSE(store.keyExists(LM, "Top\\Mid"));
    EXPECT_FALSE(store.keyExists(LM, "Top\\Mid\\Low"));
    EXPECT_FALSE(store.getValue(LM, "Top\\Mid\\Low", "v"));
    EXPECT_EQ(store.subKeys(LM, "Top"), std::vector<std::string>{"Sibling"});
    EXPECT_EQ(text(store.getValue(LM, "Top\\Sibling", "v")), "kept");
    EXPECT_FALSE(store.deleteKey(LM, "Top\\Mid"));
    // Nothing of the deleted key lingers on disk.
    EXPECT_EQ(std::distance(fs::directory_iterator(store.keyFolder(LM, "Top")), fs::directory_iterator()), 2);

    store.createKey(LM, "Top\\Mid");
    EXPECT_TRUE(store.valueNames(LM, "Top\\Mid").empty());
    EXPECT_THROW(store.deleteKey(LM, "\\"), RegistryError);
}

TEST_F(Store_, CorruptValueFilesAreReportedByName)
{
    Store store(root());
    store.setString(LM, "K", "Value", "content");
    const fs::path file = onlyValueFile(store.keyFolder(LM, "K"));
    std::string good;
    {
        std::ifstream in(file, std::ios::binary);
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::vector<std::string> corruptions{
        "", "garbage", good.substr(0, good.size() - 1), good + "x", "QRV1 4 5 3\nValueabc",
        "QRV1 4 5 11\nValue99999999999", "QRV1 9 5 1\nValuex", "QRV1 1 99999999999999999999 1\nValuex",
        "QRV1 1 5\nValue", "QRV1 1 5 1 7\nValuex"};
    for (const auto& bytes : corruptions) {
        overwrite(file, bytes);
        try {
            store.getValue(LM, "K", "Value");
            ADD_FAILURE() << "no error for " << bytes;
        } catch (const RegistryError& error) {
            EXPECT_NE(std::string(error.what()).find(file.string()), std::string::npos) << error.what();
        }
        EXPECT_THROW(store.valueNames(LM, "K"), RegistryError);
    }
    // Writing the value again repairs it.
    store.setString(LM, "K", "Value", "again");
    EXPECT_EQ(text(store.getValue(LM, "K", "Value")), "again");
}

TEST(Hives, HandlesMapToThePredefinedHivesOnly)
{
    const std::vector<std::string_view> names{"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                              "HKEY_USERS", "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG",
                                              "HKEY_DYN_DATA"};
    for (std::uint32_t handle = 0x80000000u; handle <= 0x80000006u; ++handle) {
        const auto hive = hiveFromHandle(handle);
        ASSERT_TRUE(hive) << handle;
        EXPECT_EQ(static_cast<std::uint32_t>(*hive), handle);
        EXPECT_EQ(hiveName(*hive), names[handle - 0x80000000u]);
    }
    for (const std::uint32_t bad : {0u, 1u, 0x7FFFFFFFu, 0x80000007u, 0xFFFFFFFFu})
        EXPECT_FALSE(hiveFromHandle(bad)) << bad;
    EXPECT_THROW(Store("/tmp").keyExists(static_cast<Hive>(5), "K"), RegistryError);
}

TEST(StoreEnvironment, RootFollowsTheVariablesInOrder)
{
    const auto saved = [](const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto restore = [](const char* name, const std::optional<std::string>& value) {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    };
    const auto root = saved("QUILLON_REGISTRY_ROOT"), data = saved("XDG_DATA_HOME"), home = saved("HOME");

    ::setenv("QUILLON_REGISTRY_ROOT", "/r/root", 1);
    ::setenv("XDG_DATA_HOME", "/x/data", 1);
    ::setenv("HOME", "/h/home", 1);
    EXPECT_EQ(Store::fromEnvironment().root(), fs::path("/r/root"));
    ::unsetenv("QUILLON_REGISTRY_ROOT");
    EXPECT_EQ(Store::fromEnvironment().root(), fs::path("/x/data/quillon/registry"));
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(Store::fromEnvironment().root(), fs::path("/h/home/.local/share/quillon/registry"));

    restore("QUILLON_REGISTRY_ROOT", root);
    restore("XDG_DATA_HOME", data);
    restore("HOME", home);
}
