#include "quillon/registry/Registry.h"
#include "quillon/reporter/Display.h"
#include "quillon/reporter/Reporter.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <set>
#include <thread>

namespace {

using qln::registry::Hive;

constexpr std::int32_t kFatal = 2, kErr = 4, kWarn = 8, kInfo = 16;
constexpr std::int32_t kLog = 0, kDisp = 1;

// Records what the Reporter hands to the display and answers with a set button.
class CapturingDisplay : public qln::reporter::DisplayHandler {
public:
    void show(const qln::reporter::Notice& notice) override
    {
        const std::lock_guard lock(mutex);
        notices.push_back(notice);
    }
    std::int32_t ask(const qln::reporter::Question& question) override
    {
        const std::lock_guard lock(mutex);
        questions.push_back(question);
        return answer;
    }

    std::mutex mutex;
    std::vector<qln::reporter::Notice> notices;
    std::vector<qln::reporter::Question> questions;
    std::int32_t answer = 7;
};

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t bar; fields.size() < 8 && (bar = line.find(" | ", start)) != std::string::npos; start = bar + 3)
        fields.push_back(line.substr(start, bar - start));
    fields.push_back(line.substr(start));
    return fields;
}

class ReporterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerCatalogs("AMBApps2");
        qln::reporter::setDisplayHandler(display);
        ASSERT_EQ(InitMsgReportingVers("AMBApps", 2, 14), 1);
        SetLogLevel(kFatal | kErr | kWarn);
    }
    void TearDown() override { qln::reporter::setDisplayHandler(nullptr); }

    void registerCatalogs(const std::string& source)
    {
        qln::registry::Store store(folder / "registry");
        const std::string key = std::string(qln::reporter::kEventLogKey) + source;
        store.setValue(Hive::LocalMachine, key, "EventMessageFile",
                       {qln::registry::ValueType::ExpandString, TEST_MESSAGES_LIBRARY, 0});
        store.setValue(Hive::LocalMachine, key, "CategoryMessageFile",
                       {qln::registry::ValueType::ExpandString, TEST_CATEGORIES_LIBRARY, 0});
    }

    std::vector<std::string> logLines(const std::string& source = "AMBApps2") const
    {
        std::ifstream in(folder / "state" / "quillon" / (source + ".log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    qln::test::TempFolder folder;
    std::shared_ptr<CapturingDisplay> display = std::make_shared<CapturingDisplay>();
};

} // namespace

TEST_F(ReporterTest, ARecordIsOneReadableLineWithEveryField)
{
    ReportSimpleSysMessage2(kErr, kLog, "GetRegistrySettings", 402, 1, "|SoilsPath", 53, "File not found");
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    const auto fields = split(lines[0]);
    ASSERT_EQ(fields.size(), 8u) << lines[0];
    EXPECT_EQ(fields[0].size(), 23u) << "YYYY-MM-DD HH:MM:SS.mmm: " << fields[0];
    EXPECT_EQ(fields[1], "ERROR");
    EXPECT_EQ(fields[2], "Quillon");
    EXPECT_NE(fields[3].find("[" + std::to_string(getpid()) + "]"), std::string::npos);
    EXPECT_EQ(fields[4], "GetRegistrySettings");
    EXPECT_EQ(fields[5], "402");
    EXPECT_EQ(fields[6], "53 File not found");
    EXPECT_EQ(fields[7], "Unable to query the registry for SoilsPath.");
}

TEST_F(ReporterTest, AMultiLineMessageStaysOneLineInTheLog)
{
    ReportSimpleMessage(kErr, kDisp, "Initialize_DDE_Connection", 1454, 0, "");
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(split(lines[0])[7], "Quillon requires 2 arguments:\\n1) Pathname of directory containing "
                                  "shapefile\\n2) Filename of attribute file containing MUSYM data");
    ASSERT_EQ(display->notices.size(), 1u);
    EXPECT_EQ(display->notices[0].text, "Quillon requires 2 arguments:\n1) Pathname of directory containing "
                                        "shapefile\n2) Filename of attribute file containing MUSYM data");
}

TEST_F(ReporterTest, AnIdMissingFromTheCatalogIsStillRecordedWithItsInserts)
{
    ReportSimpleSysMessage(kFatal, kLog, "Somewhere", 9999, 2, "|first|second", 7);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    const auto fields = split(lines[0]);
    EXPECT_EQ(fields[5], "9999");
    EXPECT_EQ(fields[6], "7");
    EXPECT_EQ(fields[7], "Message 9999 is not in the message catalog. Inserts: |first|second");
}

TEST_F(ReporterTest, WithoutRegisteredCatalogsMessagesAreRecordedByNumberAndTheCauseIsLogged)
{
    ASSERT_EQ(InitMsgReportingVers("Unregistered", 1, 3), 1);
    ReportSimpleMessage(kErr, kLog, "Proc", 402, 1, "|Value");
    const auto lines = logLines("Unregistered1");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(split(lines.front())[1], "WARNING");
    EXPECT_NE(lines.front().find("EventMessageFile is not registered"), std::string::npos) << lines.front();
    const auto last = split(lines.back());
    EXPECT_EQ(last[2], "3") << "category by number when there is no category catalog";
    EXPECT_EQ(last[7], "Message 402 is not in the message catalog. Inserts: |Value");
}

TEST_F(ReporterTest, ACatalogLibraryThatIsNotACatalogIsReportedNotFatal)
{
    qln::registry::Store store(folder / "registry");
    store.setString(Hive::LocalMachine, std::string(qln::reporter::kEventLogKey) + "Broken1", "EventMessageFile",
                    "/nonexistent/libmissing.so");
    ASSERT_EQ(InitMsgReportingVers("Broken", 1, 14), 1);
    ReportSimpleMessage(kErr, kLog, "Proc", 1, 1, "|still here");
    const auto lines = logLines("Broken1");
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.front().find("cannot load /nonexistent/libmissing.so"), std::string::npos) << lines.front();
    EXPECT_EQ(split(lines.back())[7], "Message 1 is not in the message catalog. Inserts: |still here");
}

TEST_F(ReporterTest, TheLogLevelAdmitsTypesButNeverHidesTheDisplay)
{
    ReportSimpleMessage(kInfo, kDisp, "PopulateSSAList", 1, 1, "|Select a valid Soils database.");
    EXPECT_TRUE(logLines().empty());
    ASSERT_EQ(display->notices.size(), 1u);
    EXPECT_EQ(display->notices[0].text, "Select a valid Soils database.");
    EXPECT_EQ(display->notices[0].type, kInfo);

    SetLogLevel(kFatal | kErr | kWarn | kInfo);
    ReportSimpleMessage(kInfo, kLog, "PopulateSSAList", 1, 1, "|logged now");
    ASSERT_EQ(logLines().size(), 1u);
    EXPECT_EQ(split(logLines()[0])[1], "INFO");
    EXPECT_EQ(display->notices.size(), 1u) << "gmrLOG is never shown";
}

TEST_F(ReporterTest, VectorEntriesTakeTheirInsertsAsAnArray)
{
    const char* inserts[] = {"SoilsPath", nullptr};
    ReportMessageVector(kErr, kLog, "QueryRegistryKey", 402, 1, inserts);
    ReportSysMessageVector(kErr, kLog, "QueryRegistryKey", 402, 2, inserts, 2);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(split(lines[0])[7], "Unable to query the registry for SoilsPath.");
    EXPECT_EQ(split(lines[1])[6], "2");
}

TEST_F(ReporterTest, NullTextsReadAsEmptyAndAnAbsurdCountIsHarmless)
{
    ReportSimpleMessage(kErr, kLog, "Proc", 1, 2000000000, "|whole text");
    ReportSimpleSysMessage2(kErr, kLog, nullptr, 1, 1, nullptr, 5, nullptr);
    ReportMessageVector(kErr, kLog, nullptr, 1, 3, nullptr);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(split(lines[0])[7], "whole text");
    EXPECT_EQ(split(lines[1])[4], "");
    EXPECT_EQ(split(lines[1])[7], "");
}

TEST_F(ReporterTest, PromptsShowTheFormattedQuestionAndReturnTheButton)
{
    const std::int32_t answer = SimpleMessagePrompt(4, "Quillon", 402, 1, "|EnableQLNDialog");
    EXPECT_EQ(answer, 7);
    ASSERT_EQ(display->questions.size(), 1u);
    EXPECT_EQ(display->questions[0].title, "Quillon");
    EXPECT_EQ(display->questions[0].buttons, 4);
    EXPECT_EQ(display->questions[0].text, "Unable to query the registry for EnableQLNDialog.");
    EXPECT_TRUE(logLines().empty()) << "questions are not recorded";
}

TEST_F(ReporterTest, BatchModeShowsNothingAndAnswersWithTheFirstButton)
{
    ASSERT_EQ(InitBatchMsgReportingVers("AMBApps", 2, 14), 1);
    ReportSimpleMessage(kErr, kDisp, "Proc", 1, 1, "|not shown");
    EXPECT_EQ(SimpleMessagePrompt(4, "Quillon", 1, 1, "|replace?"), 6);
    EXPECT_EQ(SimpleMessagePrompt(5, "Quillon", 1, 0, ""), 4);
    EXPECT_EQ(ReporterMessageBox("Title", "Text", 0), 1);
    EXPECT_TRUE(display->notices.empty());
    EXPECT_TRUE(display->questions.empty());
    EXPECT_EQ(logLines().size(), 1u) << "batch mode still records";
}

TEST_F(ReporterTest, TheDefaultDisplayAnswersWithTheFirstButtonWithoutATerminal)
{
    qln::reporter::setDisplayHandler(nullptr);
    const int savedStdin = dup(STDIN_FILENO);
    const int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, STDIN_FILENO);
    const std::int32_t yesNo = SimpleMessagePrompt(4, "Quillon", 1, 1, "|Replace?");
    const std::int32_t abortRetry = ReporterMessageBox("Title", "Text", 2);
    dup2(savedStdin, STDIN_FILENO);
    close(devNull);
    close(savedStdin);
    EXPECT_EQ(yesNo, 6);
    EXPECT_EQ(abortRetry, 3);
}

TEST_F(ReporterTest, InitRefusesAnEmptyEventSourceAndALogItCannotWrite)
{
    EXPECT_EQ(InitMsgReportingVers("", 2, 14), 0);
    EXPECT_EQ(InitBatchMsgReportingVers(nullptr, 2, 14), 0);
    std::ofstream(folder / "file") << "not a folder";
    ::setenv("XDG_STATE_HOME", (folder / "file").c_str(), 1);
    EXPECT_EQ(InitMsgReportingVers("AMBApps", 2, 14), 0);
}

TEST_F(ReporterTest, AnEventSourceCannotLeadTheLogOutOfItsFolder)
{
    ASSERT_EQ(InitMsgReportingVers("../../escape", 1, 1), 1);
    ReportSimpleMessage(kErr, kLog, "Proc", 1, 1, "|x");
    EXPECT_FALSE(std::filesystem::exists(folder / "escape1.log"));
    const auto lines = logLines("_.._.._escape1");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(split(lines.back())[7], "Message 1 is not in the message catalog. Inserts: |x");
}

TEST_F(ReporterTest, ReportsFromTwoThreadsAreAllRecordedWhole)
{
    constexpr int kEach = 200;
    auto worker = [](const char* name) {
        for (int i = 0; i < kEach; ++i) {
            const std::string inserts = "|" + std::string(name) + " " + std::to_string(i);
            ReportSimpleMessage(kErr, kDisp, name, 1, 1, inserts.c_str());
        }
    };
    std::thread first(worker, "first");
    std::thread second(worker, "second");
    first.join();
    second.join();

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u * kEach);
    std::set<std::string> texts;
    for (const std::string& line : lines) {
        const auto fields = split(line);
        ASSERT_EQ(fields.size(), 8u) << line;
        EXPECT_EQ(fields[7].rfind(fields[4] + " ", 0), 0u) << line;
        texts.insert(fields[7]);
    }
    EXPECT_EQ(texts.size(), 2u * kEach);
    EXPECT_EQ(display->notices.size(), 2u * kEach);
}
