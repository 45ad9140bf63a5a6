#include "quillon/viewer/Settings.h"

#include "../support/TempFolder.h"
#include "quillon/ado/DataSources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace qln::viewer {
namespace {

using namespace reporting;

// Registry values served from a map; a missing name fails as an unreadable value does.
class FakeGenUtils : public utils::clsGenUtils {
public:
    std::map<std::string, std::string> values;
    std::vector<std::string> asked;
    std::int32_t notifyResult = 1;

    std::int32_t cGetRegistryString(std::uint32_t hive, const std::string& key, const std::string& field,
                                    std::string& result) override
    {
        asked.push_back(field);
        if (hive != utils::HKEY_LOCAL_MACHINE || key != kSettingsKey) return 0;
        const auto it = values.find(field);
        if (it == values.end()) return 0;
        result = it->second;
        return 1;
    }
    std::int32_t cNotifyChangeKey(std::uint32_t, const std::string&, std::int32_t, RegChangeCallback) override
    {
        return notifyResult;
    }
    std::int32_t cGenerateUUID(std::string&, std::int32_t) override { return 0; }
    std::int32_t cGetRegistrySize(std::uint32_t, const std::string&, const std::string&, std::int32_t&) override { return 0; }
    std::int32_t cGetRegistryInt(std::uint32_t, const std::string&, const std::string&, std::int32_t&) override { return 0; }
    std::int32_t cPutRegistryString(std::uint32_t, const std::string&, const std::string&, const std::string&) override
    {
        return 0;
    }
    std::int32_t cPutRegistryInt(std::uint32_t, const std::string&, const std::string&, std::int32_t) override { return 0; }
    std::int32_t cDeleteRegistryKey(std::uint32_t, const std::string&) override { return 0; }
    std::string cGenerateUUIDStr() override { return {}; }
    std::string cGetHelpPath() override { return {}; }
    std::string cGetToken(const std::string&, const std::string&, std::int16_t) override { return {}; }
    void cStopRegChangeNotifications() override {}
    std::string cShortFilename(const std::string&) override { return {}; }
};

struct Reported {
    std::int32_t type, dest;
    std::string proc;
    std::int32_t msgId;
    std::string arg;
    friend bool operator==(const Reported&, const Reported&) = default;
};

std::ostream& operator<<(std::ostream& out, const Reported& r)
{
    return out << r.type << "/" << r.dest << " " << r.proc << " " << r.msgId << " '" << r.arg << "'";
}

class FakeReporter : public clsReporter {
public:
    std::vector<Reported> reported;

    void cReportMsg(MRUMsgType type, MRUMsgDest dest, std::string_view proc, std::int32_t msgId, std::int32_t,
                    const InsertList& args) override
    {
        reported.push_back({type, dest, std::string(proc), msgId, args.empty() ? "" : args[0].value().text()});
    }
    void cSetLogLevel(MRULogLevel) override {}
    bool cInitReporting(std::string_view, std::optional<std::int32_t>, std::int32_t, std::optional<Variant>) override
    {
        return true;
    }
    void cHandleSysErr(std::string_view, const std::optional<ErrObject>&) override {}
    MRUPromptResp cMsgPrompt(MRUPromptType, std::string_view, std::int32_t, const InsertList&) override { return OK; }
    void cReportMsg2(std::int32_t, std::int32_t, std::string_view, std::int32_t, const ErrObject&, const InsertList&) override
    {
    }
    ErrObject& Err() override { return m_err; }

private:
    ErrObject m_err;
};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string root = folder.path().string();
        std::filesystem::create_directories(folder / "install/results");
        std::filesystem::create_directories(folder / "install/legends");
        std::filesystem::create_directories(folder / "help");
        std::ofstream(folder / "install/results/pristine.sqlite") << "p";
        std::ofstream(folder / "install/results/results.sqlite") << "w";
        std::ofstream(folder / "install/legends/ph.avl") << "l";
        std::ofstream(folder / "help/index.html") << "h";
        genutils.values = {{"InstalledDrive", root},       {"SoilsPath", "/install"},
                           {"ArcviewLegendPath", "/legends"}, {"SoilsDataPath", root + "/soils"},
                           {"SoilsDataFile", "a.mdb"},      {"QuillonDBDSN", "RulesDSN"},
                           {"OutputDBPath", "/results"},    {"OutputDBFile", "results.sqlite"},
                           {"OutputDBDSN", "ResultsDSN"},   {"OutputDBOrig", "pristine.sqlite"},
                           {"VBHelpPath", root + "/help/"}, {"VBHelpFile", "index.html"}};
        ado::defineDataSource("RulesDSN", folder / "rules.sqlite");
        ado::defineDataSource("ResultsDSN", folder / "install/results/results.sqlite");
    }

    test::TempFolder folder;
    FakeGenUtils genutils;
    FakeReporter reporter;
    SettingsContext context{genutils, reporter};
    Settings settings;
};

TEST_F(SettingsTest, AllPresentDerivesTheFoldersAndReportsNothing)
{
    EXPECT_EQ(SetFileDefaults(context, settings), 1);
    EXPECT_TRUE(reporter.reported.empty()) << reporter.reported.front();
    const std::string root = folder.path().string();
    EXPECT_EQ(settings.OutputFolder, root + "/install/results");
    EXPECT_EQ(settings.LegendFolder, root + "/install/legends");
    EXPECT_EQ(settings.soilsDataFolder, root + "/soils");
    EXPECT_EQ(settings.helpFile, root + "/help/index.html");
    EXPECT_EQ(settings[Setting::SoilsDataFile], "a.mdb");
    EXPECT_EQ(genutils.asked, std::vector<std::string>(kSettingNames.begin(), kSettingNames.end()));
}

TEST_F(SettingsTest, MissingFirstValueReportsEveryNameInOrderAndReadsNoMore)
{
    genutils.values.erase("InstalledDrive");
    EXPECT_NE(SetFileDefaults(context, settings), 1);
    ASSERT_EQ(reporter.reported.size(), kSettingNames.size());
    for (std::size_t i = 0; i < kSettingNames.size(); ++i)
        EXPECT_EQ(reporter.reported[i], (Reported{gmrFATAL, gmrDISP, "GetRegistrySettings", 402, kSettingNames[i]}));
    EXPECT_EQ(genutils.asked, std::vector<std::string>{"InstalledDrive"});

    // A later gap reports from that value on only.
    reporter.reported.clear();
    genutils.values["InstalledDrive"] = "/";
    genutils.values.erase("OutputDBDSN");
    EXPECT_NE(GetRegistrySettings(context, settings), 1);
    ASSERT_EQ(reporter.reported.size(), 4u);
    EXPECT_EQ(reporter.reported[0].arg, "OutputDBDSN");
    EXPECT_EQ(reporter.reported[3].arg, "VBHelpFile");
}

TEST_F(SettingsTest, MissingResultsDatabasesEndStartUpLegendsAndHelpDoNot)
{
    std::filesystem::remove(folder / "install/legends/ph.avl");
    std::filesystem::remove(folder / "help/index.html");
    EXPECT_EQ(SetFileDefaults(context, settings), 1);
    const std::string root = folder.path().string();
    ASSERT_EQ(reporter.reported.size(), 2u);
    EXPECT_EQ(reporter.reported[0], (Reported{gmrERR, gmrDISP, "CheckIfRegFilesExist", 1218, root + "/install/legends"}));
    EXPECT_EQ(reporter.reported[1], (Reported{gmrINFO, gmrDISP, "CheckIfRegFilesExist", 602, root + "/help/index.html"}));
    EXPECT_EQ(settings.helpFile, "");
    EXPECT_EQ(settings[Setting::VBHelpFile], "");

    reporter.reported.clear();
    std::filesystem::remove(folder / "install/results/results.sqlite");
    EXPECT_EQ(SetFileDefaults(context, settings), -1);
    ASSERT_FALSE(reporter.reported.empty());
    EXPECT_EQ(reporter.reported[0],
              (Reported{gmrERR, gmrDISP, "CheckIfRegFilesExist", 602, root + "/install/results/results.sqlite"}));

    reporter.reported.clear();
    std::filesystem::remove(folder / "install/results/pristine.sqlite");
    EXPECT_EQ(SetFileDefaults(context, settings), -1);
    EXPECT_EQ(reporter.reported[0].arg, root + "/install/results/pristine.sqlite");
}

TEST_F(SettingsTest, DataSourcesMustMatchExactlyAndBothAreChecked)
{
    genutils.values["QuillonDBDSN"] = "rulesdsn";
    EXPECT_EQ(SetFileDefaults(context, settings), -1);
    ASSERT_EQ(reporter.reported.size(), 1u);
    EXPECT_EQ(reporter.reported[0], (Reported{gmrERR, gmrDISP, "SetFileDefaults", 804, "rulesdsn"}));

    reporter.reported.clear();
    genutils.values["QuillonDBDSN"] = "RulesDSN";
    genutils.values["OutputDBDSN"] = "NoSuchResults";
    EXPECT_EQ(SetFileDefaults(context, settings), -1);
    ASSERT_EQ(reporter.reported.size(), 1u);
    EXPECT_EQ(reporter.reported[0].arg, "NoSuchResults");

    EXPECT_EQ(CheckValidDSN("A", {"a", "A"}), 1);
    EXPECT_EQ(CheckValidDSN("A", {"a"}), -1);
    EXPECT_EQ(CheckValidDSN("", {}), -1);
}

TEST_F(SettingsTest, RefusedNotificationIsLoggedOnly)
{
    EXPECT_EQ(RequestRegistryNotify(context, nullptr), 1);
    EXPECT_TRUE(reporter.reported.empty());
    genutils.notifyResult = 0;
    EXPECT_EQ(RequestRegistryNotify(context, nullptr), 0);
    ASSERT_EQ(reporter.reported.size(), 1u);
    EXPECT_EQ(reporter.reported[0],
              (Reported{gmrERR, gmrLOG, "RequestRegistryNotify", 1, "Registry Notify Change value not available"}));
}

} // namespace
} // namespace qln::viewer
