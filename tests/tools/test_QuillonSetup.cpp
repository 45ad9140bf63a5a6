// quillon-setup as a user runs it, against a registry and data folder of the test's own.

#include "../support/Fixtures.h"
#include "../support/TempFolder.h"

#include "quillon/ado/DataSources.h"
#include "quillon/components/Components.h"
#include "quillon/engine/clsQuillon.h"
#include "quillon/registry/Registry.h"
#include "quillon/viewer/SoilsDatabase.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <map>

namespace {

namespace fs = std::filesystem;
using qln::registry::Hive;

constexpr const char* kSettingsKey = "Software\\Kelvaro\\Quillon 2000";

struct Run {
    int status = -1;
    std::string output;
};

// Runs the program with the arguments, standard output and error captured together.
Run runSetup(const std::vector<std::string>& args)
{
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::dup2(fds[1], 2);
        ::close(fds[0]);
        std::vector<char*> argv{const_cast<char*>(QUILLON_SETUP_EXE)};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(QUILLON_SETUP_EXE, argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    Run run;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) run.output.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every file below the folder with its contents (registry values are files too).
std::map<std::string, std::string> snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files[entry.path().lexically_relative(folder).string()] = readFile(entry.path());
    return files;
}

class QuillonSetup : public ::testing::Test {
protected:
    qln::test::TempFolder temp;
    qln::registry::Store store{temp / "registry"};
    fs::path prefix = temp / "data" / "quillon";

    std::string setting(const std::string& name) const
    {
        const auto value = store.getValue(Hive::LocalMachine, kSettingsKey, name);
        return value ? value->text : "<missing>";
    }
};

} // namespace

TEST_F(QuillonSetup, InstallsWhatTheViewerChecksAtStartUp)
{
    const auto run = runSetup({});
    ASSERT_EQ(run.status, 0) << run.output;

    // The folders the viewer derives by plain concatenation, and the files it requires.
    const std::string outputFolder = setting("InstalledDrive") + setting("SoilsPath") + setting("OutputDBPath");
    const std::string legendFolder = setting("InstalledDrive") + setting("SoilsPath") + setting("ArcviewLegendPath");
    EXPECT_EQ(fs::path(outputFolder), prefix / "results");
    EXPECT_TRUE(fs::is_regular_file(outputFolder + "/" + setting("OutputDBOrig")));
    EXPECT_TRUE(fs::is_regular_file(outputFolder + "/" + setting("OutputDBFile")));
    EXPECT_FALSE(fs::is_empty(legendFolder));
    EXPECT_TRUE(fs::is_regular_file(setting("VBHelpPath") + setting("VBHelpFile")));
    EXPECT_TRUE(fs::is_regular_file(setting("SoilsDataPath") + setting("SoilsDataFile")));
    EXPECT_FALSE(store.getValue(Hive::LocalMachine, kSettingsKey, "EnableQLNDialog"));

    // The data sources as the data layer reads them, and the engine created by ProgID over
    // the rules data source.
    const auto names = qln::ado::dataSourceNames();
    for (const auto& name : {setting("QuillonDBDSN"), setting("OutputDBDSN"), std::string("QuillonDSN2000")}) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
        const auto database = qln::ado::findDataSource(name);
        ASSERT_TRUE(database) << name;
        EXPECT_TRUE(fs::is_regular_file(*database)) << name;
    }
    const auto engine = qln::components::create<qln::engine::clsQuillon>(qln::engine::kQuillonProgId);
    auto folders = engine->GetMainQLNRS("SELECT * FROM Folders ORDER BY FolderSeq");
    EXPECT_FALSE(folders.eof());

    const auto desktop = readFile(temp / "data" / "applications" / "quillon.desktop");
    EXPECT_NE(desktop.find("Exec=\"" + (fs::path(QUILLON_SETUP_EXE).parent_path() / "quillon-map").string() + "\" %f\n"),
              std::string::npos)
        << desktop;
    EXPECT_TRUE(fs::is_regular_file(temp / "data" / "icons" / "hicolor" / "scalable" / "apps" / "quillon.svg"));
    // The sample shapefile whole, coordinate system and code page included.
    for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg"})
        EXPECT_TRUE(fs::is_regular_file(prefix / "soils" / (std::string("sample_soils") + ext))) << ext;

    // --check finds nothing missing but the viewer program, which another target builds.
    const auto check = runSetup({"--check"});
    for (const char* kind : {"file ", "setting ", "data source ", "component ", "event source "})
        EXPECT_EQ(check.output.find(kind), std::string::npos) << check.output;
}

TEST_F(QuillonSetup, SecondRunChangesNothingAndKeepsTheUsersChoices)
{
    ASSERT_EQ(runSetup({}).status, 0);
    const auto first = snapshot(temp.path());
    ASSERT_EQ(runSetup({}).status, 0);
    EXPECT_EQ(snapshot(temp.path()), first);

    // The viewer's own state survives a re-install; installation values are put right.
    store.setString(Hive::LocalMachine, kSettingsKey, "SoilsDataFile", "mine.mdb");
    store.setString(Hive::LocalMachine, kSettingsKey, "OutputDBDSN", "Elsewhere");
    std::ofstream(prefix / "results" / "results.sqlite") << "ratings of the last session";
    fs::remove(prefix / "legends" / "slope.avl");
    const auto check = runSetup({"--check"});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.output.find("setting OutputDBDSN is \"Elsewhere\""), std::string::npos) << check.output;
    EXPECT_NE(check.output.find("slope.avl is missing"), std::string::npos) << check.output;

    ASSERT_EQ(runSetup({}).status, 0);
    EXPECT_EQ(setting("SoilsDataFile"), "mine.mdb");
    EXPECT_EQ(setting("OutputDBDSN"), "QuillonOutput");
    EXPECT_EQ(readFile(prefix / "results" / "results.sqlite"), "ratings of the last session");
    EXPECT_TRUE(fs::exists(prefix / "legends" / "slope.avl"));
}

TEST_F(QuillonSetup, UninstallLeavesNoFileAndNoValueButOthersOwn)
{
    ASSERT_EQ(runSetup({}).status, 0);
    // Written by others: the GIS side's value and a database the user keeps with the sample.
    store.setString(Hive::LocalMachine, kSettingsKey, "EnableQLNDialog", "Y");
    std::ofstream(prefix / "soils" / "my survey.mdb") << "user data";

    const auto run = runSetup({"--uninstall"});
    ASSERT_EQ(run.status, 0) << run.output;
    const auto left = snapshot(temp / "data");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left.begin()->first, "quillon/soils/my survey.mdb");
    EXPECT_EQ(store.valueNames(Hive::LocalMachine, kSettingsKey), std::vector<std::string>{"EnableQLNDialog"});
    EXPECT_TRUE(store.subKeys(Hive::ClassesRoot, "").empty());
    EXPECT_FALSE(store.keyExists(Hive::LocalMachine, "Software\\ODBC"));
    EXPECT_FALSE(store.keyExists(Hive::LocalMachine, "SYSTEM"));

    // Without the GIS value and the user's file, not even a folder stays.
    store.deleteValue(Hive::LocalMachine, kSettingsKey, "EnableQLNDialog");
    fs::remove(prefix / "soils" / "my survey.mdb");
    ASSERT_EQ(runSetup({}).status, 0);
    ASSERT_EQ(runSetup({"--uninstall"}).status, 0);
    EXPECT_TRUE(snapshot(temp.path()).empty());
    EXPECT_FALSE(fs::exists(temp / "data"  / "quillon"));
    EXPECT_FALSE(fs::exists(temp / "data" / "applications"));
}

TEST_F(QuillonSetup, UninstallFindsAnInstallUnderAnotherPrefixThroughTheSettings)
{
    const auto elsewhere = temp / "opt" / "quillon";
    ASSERT_EQ(runSetup({"--prefix", elsewhere.string()}).status, 0);
    EXPECT_EQ(setting("SoilsPath"), elsewhere.lexically_relative("/").string() + "/");
    ASSERT_EQ(runSetup({"--uninstall"}).status, 0);
    EXPECT_FALSE(fs::exists(elsewhere));
}

TEST_F(QuillonSetup, UnsafePrefixesAreRefusedBeforeAnythingIsWritten)
{
    for (const std::string& bad : {(temp / "new\nline").string(), std::string("/")}) {
        const auto run = runSetup({"--prefix", bad});
        EXPECT_EQ(run.status, 2) << run.output;
        EXPECT_NE(run.output.find("quillon-setup: "), std::string::npos) << run.output;
    }
    EXPECT_TRUE(snapshot(temp.path()).empty());
}

TEST_F(QuillonSetup, ImportPutsASurveyDownloadWhereTheViewerListsIt)
{
    const fs::path excerpt = qln::test::sharedFixtures() / "survey-download" / "AZ649-excerpt";
    QUILLON_REQUIRE_FIXTURE(excerpt / "tabular" / "mstab.txt");
    ASSERT_EQ(runSetup({}).status, 0);
    const auto run = runSetup({"--import", (excerpt / "tabular").string()});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("read chorizon ("), std::string::npos) << run.output;
    // The soils folder of the install, named after the download; the viewer's own check takes it.
    const std::string folder = setting("SoilsDataPath");
    EXPECT_TRUE(qln::viewer::isSoilsFile(folder + "AZ649-excerpt.mdb"));
    const auto layout = qln::viewer::checkSoilsLayout(folder, "AZ649-excerpt.mdb");
    EXPECT_TRUE(layout.valid) << layout.reason;
}
