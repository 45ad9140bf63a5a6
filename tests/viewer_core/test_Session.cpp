// The viewer's run without a window: start-up, choosing and opening a soils database, a
// rating run, the report lists and the GIS link, against the installed rules, results and
// sample survey, with the reporter, utilities and link faked.

#include "../support/ComponentFakes.h"
#include "../support/SqliteFile.h"
#include "../support/TempFolder.h"
#include "quillon/Error.h"
#include "quillon/ado/DataSources.h"
#include "quillon/viewer/NonTechReport.h"
#include "quillon/viewer/ResultsTable.h"
#include "quillon/viewer/Session.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>

namespace fs = std::filesystem;
using namespace qln;
using namespace qln::viewer;

namespace {

const fs::path kShare = QUILLON_BUILD_SHARE;

struct Seen final : SessionObserver {
    std::vector<std::string> statuses;
    int listChanges = 0;
    std::vector<std::string> months;
    std::vector<bool> databaseControls;

    void statusChanged(const std::string& text) override { statuses.push_back(text); }
    void mapunitListChanged() override { ++listChanges; }
    void monthsChanged(const std::vector<std::string>& names) override { months = names; }
    void databaseControlsEnabled(bool on) override { databaseControls.push_back(on); }
};

struct FakeLink final : SessionLink {
    bool linked = true;
    fs::path file;
    int resets = 0;

    bool ArcViewLinked() const override { return linked; }
    fs::path attributeFile() const override { return file; }
    int Reset_DDE_Data() override { return ++resets, 1; }
};

// Work run where it is asked for, Cancel pressed from the start, or once a lock is waited
// for, when asked.
struct Inline final : JobProgress {
    bool cancel = false;
    bool cancelOnLock = false;
    std::vector<std::string> stages;

    bool cancelled() const noexcept override { return cancel; }
    void progress(long, long) noexcept override {}
    void stage(const char* name) noexcept override
    {
        stages.emplace_back(name);
        if (cancelOnLock && stages.back().find("locked by another program") != std::string::npos) cancel = true;
    }

    JobResult run(const JobWork& work)
    {
        JobResult result;
        try {
            work(*this);
        } catch (...) {
            result = {JobOutcome::Failed, std::current_exception()};
        }
        if (cancel) result.outcome = JobOutcome::Cancelled;
        return result;
    }
    JobRunner runner()
    {
        return [this](const std::string&, JobWork work, JobDone done) {
            done(run(work));
            return true;
        };
    }
};

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(kShare / "sample" / "sample.sqlite")) GTEST_SKIP() << "no built data under " << kShare;
        fs::create_directories(temp / "results");
        fs::create_directories(temp / "soils");
        fs::copy_file(kShare / "quillon-rules.sqlite", temp / "rules.sqlite");
        fs::copy_file(kShare / "quillon-results.sqlite", temp / "results" / "pristine.sqlite");
        fs::copy_file(kShare / "quillon-results.sqlite", results());
        fs::copy_file(kShare / "sample" / "sample.sqlite", soils() / "sample.mdb");
        ado::defineDataSource(engine::kRulesDataSource, temp / "rules.sqlite");
        ado::defineDataSource("SessionResults", results());

        session.makeEngine = engine::createQuillon;
        session.makeReporter = [this] { return std::make_unique<Forward>(reporter); };
        session.makeUtilities = [this] { return std::make_unique<ForwardUtilities>(utilities); };
        session.setObserver(&seen);
        Settings& s = session.settings();
        s.soilsDataFolder = soils().string();
        s.OutputFolder = (temp / "results").string();
        s[Setting::OutputDBOrig] = "pristine.sqlite";
        s[Setting::OutputDBFile] = "results.sqlite";
        s[Setting::OutputDBDSN] = "SessionResults";
        session.createUtilities();
        session.createComponents();
        ASSERT_TRUE(session.startReporting());
        ASSERT_TRUE(session.readRules());
    }

    fs::path soils() const { return temp / "soils"; }
    fs::path results() const { return temp / "results" / "results.sqlite"; }
    void copySampleWithout(const std::string& name, const std::string& table)
    {
        fs::copy_file(soils() / "sample.mdb", soils() / name);
        test::runSql(soils() / name, "DROP TABLE " + table);
    }
    Session::Opening open(const std::string& file, bool checked = false)
    {
        return session.openChosenDatabase(file, checked, {}, progress.runner());
    }
    bool hasColumn(const std::string& column)
    {
        ado::Connection connection = session.resultsDBConnection();
        connection.open();
        return HasColumn(connection, kResultsTable, column);
    }
    bool hasTable(const std::string& table)
    {
        ado::Connection connection = session.resultsDBConnection();
        connection.open();
        ado::Recordset rows;
        try {
            rows.open("SELECT * FROM " + table, connection);
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }
    // The job a run of the dwellings interpretation would start, after both its workers.
    std::shared_ptr<RatingJob> runDwellings(bool cancel)
    {
        RunOptions options;
        options.attribute = "INT_DWB";
        options.column = "DWB_DCD";
        int line = 0;
        auto job = session.planRun("INT_DWB", [&] { return options; }, line);
        if (!job) return job;
        EXPECT_EQ(progress.run([&](JobProgress& p) { Session::checkResultsColumn(*job, p); }).outcome,
                  JobOutcome::Finished);
        progress.cancel = cancel;
        progress.run([&](JobProgress& p) { Session::rate(*job, p); });
        progress.cancel = false;
        return job;
    }

    // The session owns its reporter and utilities; these forward to fakes the test reads.
    struct Forward final : test::FakeReporter {
        explicit Forward(test::FakeReporter& to) : target(to) {}
        void cReportMsg(reporting::MRUMsgType type, reporting::MRUMsgDest dest, std::string_view procedure,
                        std::int32_t message, std::int32_t error, const reporting::InsertList& inserts) override
        {
            target.cReportMsg(type, dest, procedure, message, error, inserts);
        }
        void cReportMsg2(std::int32_t type, std::int32_t dest, std::string_view procedure, std::int32_t message,
                         const reporting::ErrObject& error, const reporting::InsertList& inserts) override
        {
            target.cReportMsg2(type, dest, procedure, message, error, inserts);
        }
        reporting::MRUPromptResp cMsgPrompt(reporting::MRUPromptType type, std::string_view title, std::int32_t message,
                                            const reporting::InsertList& inserts) override
        {
            return target.cMsgPrompt(type, title, message, inserts);
        }
        test::FakeReporter& target;
    };
    struct ForwardUtilities final : test::FakeGenUtils {
        explicit ForwardUtilities(test::FakeGenUtils& to) : target(to) {}
        std::int32_t cPutRegistryString(std::uint32_t hive, const std::string& key, const std::string& field,
                                        const std::string& value) override
        {
            return target.cPutRegistryString(hive, key, field, value);
        }
        test::FakeGenUtils& target;
    };

    test::TempFolder temp;
    test::FakeReporter reporter;
    test::FakeGenUtils utilities;
    Seen seen;
    Inline progress;
    Session session;
};

TEST_F(SessionTest, StartUpReadsTheRulesAndTheWindowShownAwaitsTheFirstDatabase)
{
    EXPECT_EQ(session.state(), SessionState::Starting);
    EXPECT_GT(session.rsAttributes().recordCount(), 0);
    EXPECT_FALSE(session.attributeRow("INT_DWB").eof());
    EXPECT_TRUE(session.attributeRow("no such node").eof());
    session.windowShown();
    EXPECT_EQ(session.state(), SessionState::AwaitingDatabase);

    // A rules table missing ends start-up, naming the query.
    test::runSql(temp / "rules.sqlite", "DROP TABLE Folders");
    Session other;
    other.makeEngine = engine::createQuillon;
    other.makeReporter = [this] { return std::make_unique<Forward>(reporter); };
    other.createComponents();
    EXPECT_FALSE(other.readRules());
    ASSERT_FALSE(reporter.errorReports.empty());
    EXPECT_EQ(reporter.errorReports.back().procedure, "Check_QLN_System");
    EXPECT_NE(reporter.errorReports.back().inserts.front().find("FROM Folders"), std::string::npos);
}

TEST_F(SessionTest, FirstOpeningKeepsTheResultsLaterOnesResetThemAndTheThemes)
{
    FakeLink* link = nullptr;
    {
        auto owned = std::make_unique<FakeLink>();
        owned->linked = false;
        link = owned.get();
        session.setLink(std::move(owned));
    }
    session.windowShown();
    test::runSql(results(), "CREATE TABLE marker(x)");
    ASSERT_EQ(open("sample.mdb"), Session::Opening::Opened);
    EXPECT_EQ(session.state(), SessionState::Working);
    EXPECT_EQ(utilities.written["SoilsDataFile"], "sample.mdb");
    EXPECT_EQ(link->resets, 0);
    EXPECT_EQ(seen.statuses, std::vector<std::string>{"Validating Soils Database."});
    EXPECT_EQ(seen.databaseControls, std::vector<bool>{true});
    // Emptied as the opening begins, then the new list.
    EXPECT_EQ(seen.listChanges, 2);
    EXPECT_GT(session.mapunitList().recordCount(), 0);
    EXPECT_GT(session.rsComponents().recordCount(), 0);
    EXPECT_GT(session.rsMapunitAreas().recordCount(), 0);
    ASSERT_FALSE(seen.months.empty());
    EXPECT_EQ(seen.months.front(), "January");
    EXPECT_EQ(progress.stages.back(), "Filling the results table");
    EXPECT_TRUE(reporter.reports.empty() && reporter.errorReports.empty());
    EXPECT_TRUE(hasTable("marker"));

    ASSERT_EQ(open("sample.mdb"), Session::Opening::Opened);
    EXPECT_EQ(link->resets, 1);
    EXPECT_FALSE(hasTable("marker"));

    // A file browsed to in another folder: both remembered for the next start, the results
    // reset again.
    test::runSql(results(), "ALTER TABLE MU_Data ADD COLUMN AWC_WA single");
    ASSERT_TRUE(hasColumn("AWC_WA"));
    fs::create_directories(temp / "other");
    fs::copy_file(soils() / "sample.mdb", temp / "other" / "second.mdb");
    session.rememberDatabase((temp / "other").string(), "second.mdb");
    ASSERT_EQ(open("second.mdb", true), Session::Opening::Opened);
    EXPECT_EQ(session.soilsDataFile(), "second.mdb");
    EXPECT_EQ(session.settings().soilsDataFolder, (temp / "other").string());
    EXPECT_FALSE(hasColumn("AWC_WA"));
    EXPECT_EQ(utilities.written["SoilsDataFile"], "second.mdb");
    EXPECT_EQ(utilities.written["SoilsDataPath"], (temp / "other").string());
    EXPECT_TRUE(reporter.reports.empty() && reporter.errorReports.empty());
}

TEST_F(SessionTest, WrongFilesAreRefusedAndFailedOpeningsLeaveNothingOfTheDatabase)
{
    copySampleWithout("old.mdb", "mdstatdommas");
    copySampleWithout("nocomp.mdb", "component");
    ASSERT_EQ(open("sample.mdb"), Session::Opening::Opened);

    // Refused by its layout: said to the user, the reason logged, nothing remembered.
    EXPECT_EQ(open("old.mdb"), Session::Opening::Refused);
    EXPECT_EQ(seen.databaseControls.back(), false);
    EXPECT_EQ(utilities.written["SoilsDataFile"], "sample.mdb");
    ASSERT_GE(reporter.reports.size(), 2u);
    EXPECT_EQ(reporter.reports[0].dest, reporting::gmrLOG);
    EXPECT_NE(reporter.reports[1].inserts.front().find("KORVAL Version 2 format"), std::string::npos);
    // The previous database stays open.
    EXPECT_EQ(session.soilsDataFile(), "sample.mdb");
    EXPECT_TRUE(session.soilsConnection().isOpen());

    // Checked by browsing but unreadable: the cause named, the list and record sets gone.
    EXPECT_EQ(open("nocomp.mdb", true), Session::Opening::Failed);
    ASSERT_FALSE(reporter.errorReports.empty());
    // What failed, then its cause on the one line after it.
    const std::string said = reporter.errorReports.back().inserts.front();
    EXPECT_EQ(said.rfind("Unable to read the map units of the soils database nocomp.mdb.\n", 0), 0u);
    const std::string cause = said.substr(said.find('\n') + 1);
    EXPECT_TRUE(cause.find('\n') == std::string::npos && cause.find("component") != std::string::npos) << said;
    EXPECT_FALSE(session.mapunitList().isOpen());
    EXPECT_FALSE(session.rsComponents().isOpen());
    EXPECT_FALSE(session.nonTechRSs());

    // Cancelled: said so, nothing kept.
    progress.cancel = true;
    EXPECT_EQ(session.ResetTelvaConnection("sample.mdb", {}, progress.runner()), -1);
    EXPECT_EQ(reporter.reports.back().inserts.front(), "Opening the soils database sample.mdb was cancelled.");
    EXPECT_FALSE(session.mapunitList().isOpen());

    // Another job running: nothing happens but the message.
    progress.cancel = false;
    const JobRunner busy = [](const std::string&, JobWork, JobDone) { return false; };
    EXPECT_EQ(session.ResetTelvaConnection("sample.mdb", {}, busy), -1);
    EXPECT_EQ(reporter.reports.back().inserts.front(),
              "The soils database sample.mdb cannot be opened while a job is running.");
}

TEST_F(SessionTest, RunIsRefusedWithItsReasonsThenStoresWhatTheEngineRates)
{
    RunOptions options;
    options.attribute = "INT_DWB";
    options.column = "DWB_DCD";
    int line = 0;
    const auto plan = [&](const std::string& key, auto give) { return session.planRun(key, give, line); };
    const auto chosen = [&] { return options; };

    EXPECT_FALSE(plan("no such node", chosen));
    EXPECT_EQ(reporter.reports.back().message, 1453);
    EXPECT_EQ(reporter.reports.back().type, reporting::gmrFATAL);
    EXPECT_FALSE(plan("INT_DWB", chosen));
    EXPECT_EQ(reporter.reports.back().inserts.front(), "Choose a soils database on the Options tab first.");

    ASSERT_EQ(open("sample.mdb"), Session::Opening::Opened);
    EXPECT_FALSE(plan("INT_DWB", [] () -> RunOptions { throw OptionError("Choose an item of the list."); }));
    EXPECT_EQ(reporter.reports.back().procedure, "SetAdoTelvaRS");
    EXPECT_EQ(reporter.reports.back().inserts.front(), "Choose an item of the list.");
    // A column name MU_Data cannot take is refused before any run, saying why.
    for (const char* name : {"bad column", "", "_abc", "1abc", "MUKEY", "musym", "a b"}) {
        options.column = name;
        EXPECT_FALSE(plan("INT_DWB", chosen)) << name;
        EXPECT_EQ(reporter.reports.back().procedure, "SetAdoTelvaRS");
        const std::string& said = reporter.reports.back().inserts.front();
        EXPECT_TRUE(said.find("column name") != std::string::npos ||
                    said.find("name for the rating column") != std::string::npos)
            << said;
    }
    options.column = "DWB_DCD";

    // Cancelled while rating: nothing stored.
    const auto cancelled = runDwellings(true);
    ASSERT_TRUE(cancelled) << reporter.reports.back().procedure << ": " << reporter.reports.back().inserts.front();
    EXPECT_FALSE(cancelled->stored);
    EXPECT_FALSE(hasColumn(cancelled->column));

    const auto job = runDwellings(false);
    ASSERT_TRUE(job);
    EXPECT_FALSE(job->columnExists);
    EXPECT_TRUE(job->stored);
    EXPECT_TRUE(hasColumn(job->column));

    // The column exists now: replaced only when the user says Yes, and then emptied first:
    // no old value survives, a map unit the run does not rate is left Null.
    test::runSql(results(), "UPDATE MU_Data SET DWB_DCD = -5; "
                            "INSERT INTO MU_Data (mukey, musym, DWB_DCD) VALUES ('nosuchkey', 'X', -5)");
    const auto again = runDwellings(false);
    EXPECT_TRUE(again->columnExists);
    {
        ado::Connection connection = session.resultsDBConnection();
        connection.open();
        int rated = 0;
        bool unrated = false;
        for (auto rows = connection.execute("SELECT mukey, DWB_DCD FROM MU_Data"); !rows.eof(); rows.moveNext()) {
            const Variant value = rows.value(1);
            EXPECT_NE(value.text(), "-5") << rows.value(0).text();
            if (rows.value(0).text() == "nosuchkey") unrated = value.isNull();
            rated += !value.isNull();
        }
        EXPECT_TRUE(unrated);
        EXPECT_GT(rated, 10);
    }
    reporter.answer = reporting::NO;
    EXPECT_EQ(session.ConfirmResultsColumn(again->columnExists), -1);
    reporter.answer = reporting::YES;
    EXPECT_EQ(session.ConfirmResultsColumn(again->columnExists), 1);
    EXPECT_EQ(session.ConfirmResultsColumn(false), 1);
    EXPECT_EQ(reporter.questions, 2);
}

// Another program's lock on the results database is waited out, said as the job's stage and
// open to Cancel: first a lock that keeps out even readers, then one that only the store meets.
TEST_F(SessionTest, ALockedResultsDatabaseIsWaitedForAndCancelled)
{
    ASSERT_EQ(open("sample.mdb"), Session::Opening::Opened);
    RunOptions options;
    options.attribute = "QUA_SLOPE";
    options.column = "SLOPE_WA";
    int line = 0;
    for (const char* lock : {"BEGIN EXCLUSIVE", "BEGIN IMMEDIATE"}) {
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(results().c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, lock, nullptr, nullptr, nullptr), SQLITE_OK);
        const auto job = session.planRun("QUA_SLOPE", [&] { return options; }, line);
        ASSERT_TRUE(job);
        progress.cancelOnLock = true;
        JobOutcome outcome = progress.run([&](JobProgress& p) { Session::checkResultsColumn(*job, p); }).outcome;
        if (outcome == JobOutcome::Finished)
            outcome = progress.run([&](JobProgress& p) { Session::rate(*job, p); }).outcome;
        EXPECT_EQ(outcome, JobOutcome::Cancelled) << lock;
        EXPECT_NE(std::find(progress.stages.begin(), progress.stages.end(),
                            "Waiting for the results database, locked by another program"),
                  progress.stages.end())
            << lock;
        EXPECT_FALSE(job->stored) << lock;
        progress.cancel = progress.cancelOnLock = false;
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        EXPECT_FALSE(hasColumn("SLOPE_WA")) << lock;
    }
    EXPECT_TRUE(reporter.reports.empty() && reporter.errorReports.empty());
    // The lock gone, the same run stores.
    const auto job = session.planRun("QUA_SLOPE", [&] { return options; }, line);
    ASSERT_TRUE(job);
    progress.run([&](JobProgress& p) { Session::checkResultsColumn(*job, p); });
    progress.run([&](JobProgress& p) { Session::rate(*job, p); });
    EXPECT_TRUE(job->stored);
    EXPECT_TRUE(hasColumn("SLOPE_WA"));
}

// Each rating column equals what quillon-rate gives for the same attribute, options and the
// layer's map units.
TEST_F(SessionTest, RunStoresWhatTheCommandLineRates)
{
    auto owned = std::make_unique<FakeLink>();
    owned->file = kShare / "sample" / "sample_soils";
    session.setLink(std::move(owned));
    ASSERT_EQ(open("sample.mdb"), Session::Opening::Opened);
    for (const auto& [key, column] : {std::pair{"MU_AWS100", "AWS100"}, std::pair{"QUA_SLOPE", "SLOPE_WA"},
                                      std::pair{"WAT_DRAIN", "DRAIN_DC"}}) {
        RunOptions options;
        options.attribute = key;
        options.column = column;
        int line = 0;
        const auto job = session.planRun(key, [&] { return options; }, line);
        ASSERT_TRUE(job) << reporter.reports.back().inserts.front();
        progress.run([&](JobProgress& p) { Session::checkResultsColumn(*job, p); });
        progress.run([&](JobProgress& p) { Session::rate(*job, p); });
        ASSERT_TRUE(job->stored) << key;

        const std::string command = std::string(QUILLON_RATE) + " --soils '" + (soils() / "sample.mdb").string() +
                                    "' --rules '" + (temp / "rules.sqlite").string() + "' --attribute " + key +
                                    " --mapunits '" + (kShare / "sample" / "sample_soils.dbf").string() + "'";
        std::vector<std::string> lines;
        {
            const std::unique_ptr<FILE, int (*)(FILE*)> rate(::popen(command.c_str(), "r"), ::pclose);
            ASSERT_TRUE(rate);
            char buffer[4096];
            while (std::fgets(buffer, sizeof buffer, rate.get())) {
                std::string text(buffer);
                while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
                if (!text.empty()) lines.push_back(text);
            }
        }
        ASSERT_GT(lines.size(), 10u) << command;
        EXPECT_EQ(lines[0].rfind(std::string("musym,mukey,") + column, 0), 0u) << lines[0];
        std::map<std::string, std::string> expected;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const auto first = lines[i].find(',');
            const auto second = lines[i].find(',', first + 1);
            const auto third = lines[i].find(',', second + 1);
            // The first row of a unit.
            expected.emplace(lines[i].substr(first + 1, second - first - 1),
                             lines[i].substr(second + 1, third == std::string::npos ? third : third - second - 1));
        }

        ado::Connection connection = session.resultsDBConnection();
        connection.open();
        int rated = 0;
        for (auto rows = connection.execute(std::string("SELECT mukey, ") + column + " FROM MU_Data"); !rows.eof();
             rows.moveNext()) {
            const std::string mukey = rows.value(0).text();
            const Variant value = rows.value(1);
            const auto want = expected.find(mukey);
            if (want == expected.end() || want->second.empty()) {
                EXPECT_TRUE(value.isNull()) << key << " " << mukey;
                continue;
            }
            ++rated;
            if (value.isText()) {
                EXPECT_EQ(value.str(), want->second) << key << " " << mukey;
            } else {
                double number = 0;
                std::from_chars(want->second.data(), want->second.data() + want->second.size(), number);
                EXPECT_EQ(static_cast<float>(value.number().value_or(-1e9)), static_cast<float>(number))
                    << key << " " << mukey;
            }
        }
        EXPECT_GT(rated, 10) << key;
    }
}

TEST_F(SessionTest, ReportListsFollowTheOpenDatabase)
{
    ASSERT_EQ(open("sample.mdb"), Session::Opening::Opened);
    // A map unit missing from the survey's sort table is not listed.
    ado::Recordset gone = session.engine().GetSoilsDataRS(session.soilsConnectString(),
                                                          "SELECT mukey,musym FROM mapunit LIMIT 1");
    const std::string key = gone.value("mukey").text();
    test::runSql(soils() / "sample.mdb",
                 "DELETE FROM \"SYSTEM - Mapunit Sort Specifications\" WHERE mukey='" + key + "';");
    ado::Recordset units =
        session.engine().GetSoilsDataRS(session.soilsConnectString(), "SELECT mukey,musym FROM mapunit");
    ASSERT_EQ(session.PopulateMapunitList(units, {}), 1);
    EXPECT_EQ(session.mapunitList().recordCount(), 299);
    ado::Recordset listed = session.mapunitList().clone();
    listed.setFilter("mukey='" + key + "'");
    EXPECT_TRUE(listed.eof());

    ASSERT_EQ(session.SetNonTechRSs(), 1);
    ASSERT_TRUE(session.nonTechRSs());
    EXPECT_FALSE(PopulateCategories(*session.nonTechRSs()).empty());
    // A new list is a new database's: its categories are read again.
    ado::Recordset none = session.engine().GetSoilsDataRS(session.soilsConnectString(),
                                                          "SELECT mukey,musym FROM mapunit WHERE 0");
    const int changes = seen.listChanges;
    std::vector<std::string> said;
    Messages messages;
    messages.report = [&said](int, const std::string&, const std::string& text) { said.push_back(text); };
    EXPECT_EQ(session.PopulateMapunitList(none, messages), -1);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("There are no map units to list."), std::string::npos) << said[0];
    EXPECT_EQ(seen.listChanges, changes + 1);
    EXPECT_FALSE(session.mapunitList().isOpen());
    EXPECT_FALSE(session.nonTechRSs());
    EXPECT_EQ(session.templatePath("QLNTemplate.dotx").filename(), "QLNTemplate.dotx");
}

TEST_F(SessionTest, LinkedListsTakeTheLayersMapUnits)
{
    auto owned = std::make_unique<FakeLink>();
    FakeLink& link = *owned;
    link.file = kShare / "sample" / "sample_soils";
    session.setLink(std::move(owned));
    ASSERT_EQ(session.attributeFile(), link.file);
    ASSERT_EQ(open("sample.mdb"), Session::Opening::Opened);
    const long layer = session.mapunitList().recordCount();
    EXPECT_GT(layer, 0);

    // A layer file that cannot be read fails the opening, naming the file.
    link.file = temp / "missing";
    EXPECT_EQ(open("sample.mdb"), Session::Opening::Failed);
    EXPECT_EQ(reporter.errorReports.back().procedure, "PopulateMapunitList");
    EXPECT_NE(reporter.errorReports.back().inserts.front().find("missing.dbf"), std::string::npos)
        << reporter.errorReports.back().inserts.front();

    // Unlinked, every map unit of the survey is listed.
    link.linked = false;
    EXPECT_FALSE(session.attributeFile());
    ASSERT_EQ(open("sample.mdb"), Session::Opening::Opened);
    EXPECT_GE(session.mapunitList().recordCount(), layer);
    session.endLink();
    EXPECT_FALSE(session.ArcViewLinked());
}

TEST_F(SessionTest, RunFailuresAreWordedForTheUser)
{
    const auto report = [this](std::exception_ptr error) {
        session.reportRunError(error, 8);
        return reporter.reports.back().inserts.front();
    };
    EXPECT_EQ(report(std::make_exception_ptr(EngineError(0x80040203, "ProcessData(Line 3)/", "no key"))),
              "Invalid attribute selected.  You may have selected a folder instead of a valid attribute.");
    EXPECT_EQ(report(std::make_exception_ptr(EngineError(0x80040208, "ProcessData(Line 2)/", "none"))),
              "There are no mapunits with data for selected attribute.");
    EXPECT_EQ(report(std::make_exception_ptr(EngineError(0x80040205, "ProcessData(Line 9)/Rate", "Type mismatch"))),
              "ProcessData(Line 9)/Rate:Type mismatch: Line #8");
    EXPECT_EQ(report(std::make_exception_ptr(TooManyColumns("full")))
                  .rfind("Too many soil Attributes are currently in memory.  To proceed, convert any", 0),
              0u);
    // What the user can mend is information; anything else an error naming the button.
    EXPECT_EQ(report(std::make_exception_ptr(RefusedRun("nothing to rate"))), "nothing to rate");
    EXPECT_EQ(reporter.reports.back().type, reporting::gmrINFO);
    EXPECT_EQ(report(std::make_exception_ptr(std::runtime_error("disk"))), "cmdCreateDBFFile_Click:disk: Line #8");
    EXPECT_EQ(reporter.reports.back().type, reporting::gmrERR);
}

} // namespace
