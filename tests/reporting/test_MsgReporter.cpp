#include "MsgReporter.h"

#include "quillon/Error.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <thread>

namespace qln::reporting {
void PrintTo(const ErrObject& err, std::ostream* out) { *out << err.number << " \"" << err.description << "\""; }
} // namespace qln::reporting

namespace {

using namespace qln::reporting;

// Every call that reaches the component, its arguments as texts.
struct Call {
    std::string entry;
    std::vector<std::string> args;
    friend bool operator==(const Call&, const Call&) = default;
};
std::ostream& operator<<(std::ostream& out, const Call& call)
{
    out << call.entry << "(";
    for (const auto& arg : call.args) out << "\"" << arg << "\",";
    return out << ")";
}

std::vector<Call> g_calls;
std::int32_t g_result = 1;

std::string s(std::int32_t number) { return std::to_string(number); }

void fakeSetLogLevel(std::int32_t level) { g_calls.push_back({"SetLogLevel", {s(level)}}); }
std::int32_t fakeInit(const char* source, std::int32_t version, std::int32_t category)
{
    g_calls.push_back({"InitMsgReportingVers", {source, s(version), s(category)}});
    return g_result;
}
std::int32_t fakeInitBatch(const char* source, std::int32_t version, std::int32_t category)
{
    g_calls.push_back({"InitBatchMsgReportingVers", {source, s(version), s(category)}});
    return g_result;
}
void fakeReport(std::int32_t type, std::int32_t dest, const char* proc, std::int32_t id, std::int32_t count,
                const char* inserts)
{
    g_calls.push_back({"ReportSimpleMessage", {s(type), s(dest), proc, s(id), s(count), inserts}});
}
void fakeReportSys2(std::int32_t type, std::int32_t dest, const char* proc, std::int32_t id, std::int32_t count,
                    const char* inserts, std::int32_t number, const char* description)
{
    g_calls.push_back(
        {"ReportSimpleSysMessage2", {s(type), s(dest), proc, s(id), s(count), inserts, s(number), description}});
}
std::int32_t fakePrompt(std::int32_t type, const char* title, std::int32_t id, std::int32_t count, const char* inserts)
{
    g_calls.push_back({"SimpleMessagePrompt", {s(type), title, s(id), s(count), inserts}});
    return g_result;
}
std::int32_t fakeBox(const char* title, const char* text, std::int32_t type)
{
    g_calls.push_back({"ReporterMessageBox", {title, text, s(type)}});
    return 1;
}

const std::map<std::string, void*> kEntries{
    {"SetLogLevel", reinterpret_cast<void*>(&fakeSetLogLevel)},
    {"InitMsgReportingVers", reinterpret_cast<void*>(&fakeInit)},
    {"InitBatchMsgReportingVers", reinterpret_cast<void*>(&fakeInitBatch)},
    {"ReportSimpleMessage", reinterpret_cast<void*>(&fakeReport)},
    {"ReportSimpleSysMessage2", reinterpret_cast<void*>(&fakeReportSys2)},
    {"SimpleMessagePrompt", reinterpret_cast<void*>(&fakePrompt)},
    {"ReporterMessageBox", reinterpret_cast<void*>(&fakeBox)},
};

// A component that lacks the named entries, or that cannot be loaded at all.
EntryResolver fakeComponent(std::set<std::string> missing = {}, bool loads = true)
{
    return [missing, loads](const char* name) -> void* {
        if (!loads) throw qln::EngineError(53, "libReporter.so", "File not found");
        if (missing.count(name)) throw qln::EngineError(453, "libReporter.so", "Specified function not within the DLL");
        return kEntries.at(name);
    };
}

const Call kFatalBox{"ReporterMessageBox",
                     {"WARNING! WARNING! WARNING!",
                      "WARNING: A Fatal error was just reported! The\napplications behavior is  unpredicable at "
                      "this\npoint. Manually terminate the application!!",
                      "0"}};

Call systemError(const std::string& proc, const std::string& fatality, const std::string& cause, std::int32_t number,
                 const std::string& description, std::int32_t type, std::int32_t dest)
{
    return {"ReportSimpleSysMessage2",
            {s(type), s(dest), proc, "203", "2", "|" + fatality + "|" + cause, s(number), description}};
}

class MsgReporterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_result = 1;
        ::unsetenv("VB_DEVEL");
        reporter.Err() = {};
    }
    void TearDown() override { ::unsetenv("VB_DEVEL"); }

    MsgReporter impl{fakeComponent()};
    // Programs call through the interface, where the optional arguments are declared.
    clsReporter& reporter = impl;
};

} // namespace

TEST_F(MsgReporterTest, GenArgStringCountsAndJoinsTheInserts)
{
    const auto none = impl.GenArgString({});
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(none.text, "");
    const auto two = impl.GenArgString({"x", 12});
    EXPECT_EQ(two.count, 2);
    EXPECT_EQ(two.text, "|x|12");
    const auto three = impl.GenArgString({"a", 5, "c"});
    EXPECT_EQ(three.count, 3);
    EXPECT_EQ(three.text, "|a|5|c");
    const auto mixed = impl.GenArgString({1.5, qln::Variant::null(), true, ""});
    EXPECT_EQ(mixed.count, 4);
    EXPECT_EQ(mixed.text, "|1.5||True|");
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(MsgReporterTest, GenArgStringUnwrapsListsHandedOnAsTheFirstInsert)
{
    const InsertList handedOn{"a", 5};
    const auto once = impl.GenArgString({handedOn, "dropped"});
    EXPECT_EQ(once.count, 2);
    EXPECT_EQ(once.text, "|a|5");
    const auto twice = impl.GenArgString({InsertList{InsertList{"deep"}}});
    EXPECT_EQ(twice.count, 1);
    EXPECT_EQ(twice.text, "|deep");
    const auto empty = impl.GenArgString({InsertList{}});
    EXPECT_EQ(empty.count, 0);
}

TEST_F(MsgReporterTest, AListFurtherOnCannotBeConvertedAndIsReportedAsFatal)
{
    const auto result = impl.GenArgString({"a", InsertList{"b"}});
    EXPECT_EQ(result.count, 0);
    EXPECT_EQ(result.text, "");
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0], systemError("GenArgString", "Fatal", "Invalid arguments passed to a DLL function", 13,
                                      "Type mismatch", 2, 1));
    EXPECT_EQ(g_calls[1], kFatalBox);
}

TEST_F(MsgReporterTest, ReportMsgWithoutSystemErrorReachesReportSimpleMessage)
{
    reporter.Err() = {5, "the caller's own error"};
    reporter.cReportMsg(gmrERR, gmrDISP, "cmdProcess_Click", 402, 0, {"EnableQLNDialog"});
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0], (Call{"ReportSimpleMessage", {"4", "1", "cmdProcess_Click", "402", "1", "|EnableQLNDialog"}}));
    EXPECT_EQ(reporter.Err(), (ErrObject{5, "the caller's own error"}));
}

TEST_F(MsgReporterTest, ReportMsgWithASystemErrorReachesReportSimpleSysMessage2)
{
    reporter.Err() = {5, "the caller's own error"};
    reporter.cReportMsg(gmrWARN, gmrLOG, "Main", 1, 53, {"text"});
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0], (Call{"ReportSimpleSysMessage2", {"8", "0", "Main", "1", "1", "|text", "53", ""}}));
    EXPECT_EQ(reporter.Err(), (ErrObject{5, "the caller's own error"}));
}

TEST_F(MsgReporterTest, AFirstInsertThatIsAListReportsItsElements)
{
    reporter.cReportMsg(gmrINFO, gmrLOG, "Proc", 203, 0, {InsertList{"Fatal", "cause"}, "ignored"});
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].args[4], "2");
    EXPECT_EQ(g_calls[0].args[5], "|Fatal|cause");
}

TEST_F(MsgReporterTest, AFatalReportEndsInTheWarningBoxWhateverItsDestination)
{
    reporter.cReportMsg(gmrFATAL, gmrLOG, "Proc", 1453, 0, {"node"});
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].entry, "ReportSimpleMessage");
    EXPECT_EQ(g_calls[1], kFatalBox);

    g_calls.clear();
    for (const auto type : {gmrERR, gmrWARN, gmrINFO}) reporter.cReportMsg(type, gmrDISP, "Proc", 1, 0, {"x"});
    EXPECT_EQ(g_calls.size(), 3u) << "no box for other types";
}

TEST_F(MsgReporterTest, ReportMsg2TakesNumberAndDescriptionFromTheErrorObject)
{
    reporter.cReportMsg2(gmrERR, gmrDISP, "cmdProcess_Click", 1, ErrObject{94, "Invalid use of Null"}, {"text"});
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0], (Call{"ReportSimpleSysMessage2",
                                {"4", "1", "cmdProcess_Click", "1", "1", "|text", "94", "Invalid use of Null"}}));
    g_calls.clear();
    reporter.cReportMsg2(gmrERR, gmrDISP, "Proc", 1, ErrObject{0, "ignored"}, {});
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].entry, "ReportSimpleMessage");
}

TEST_F(MsgReporterTest, InitReportingChoosesBatchByThePresenceOfTheArgument)
{
    EXPECT_TRUE(reporter.cInitReporting("AMBApps", std::nullopt, 14));
    EXPECT_TRUE(reporter.cInitReporting("AMBApps", 3, 14, qln::Variant(false)));
    EXPECT_TRUE(reporter.cInitReporting("AMBApps", 2, 14, qln::Variant()));
    const std::vector<Call> expected{{"InitMsgReportingVers", {"AMBApps", "2", "14"}},
                                     {"InitBatchMsgReportingVers", {"AMBApps", "3", "14"}},
                                     {"InitBatchMsgReportingVers", {"AMBApps", "2", "14"}}};
    EXPECT_EQ(g_calls, expected);
}

TEST_F(MsgReporterTest, InitReportingReadsTheLow16BitsOfTheResult)
{
    g_result = 0x10000;
    EXPECT_FALSE(reporter.cInitReporting("AMBApps", 2, 14));
    g_result = 0x10001;
    EXPECT_TRUE(reporter.cInitReporting("AMBApps", 2, 14));
    g_result = 0;
    EXPECT_FALSE(reporter.cInitReporting("AMBApps", 2, 14));
}

TEST_F(MsgReporterTest, HandleSysErrReportsTheFatalTable)
{
    const std::map<std::int32_t, std::string> fatal{{7, "Out of memory for the running application"},
                                                    {31001, "Out of memory for the running application"},
                                                    {13, "Invalid arguments passed to a DLL function"},
                                                    {49, "Invalid arguments passed to a DLL function"},
                                                    {48, "Error in loading a DLL for the application"},
                                                    {53, "Unable to locate a DLL"},
                                                    {453, "Specified function not within the DLL"}};
    for (const auto& [number, cause] : fatal) {
        g_calls.clear();
        reporter.cHandleSysErr("Main", ErrObject{number, "description"});
        ASSERT_EQ(g_calls.size(), 2u) << number;
        EXPECT_EQ(g_calls[0], systemError("Main", "Fatal", cause, number, "description", 2, 1));
        EXPECT_EQ(g_calls[1], kFatalBox);
    }
    EXPECT_EQ(reporter.Err(), (ErrObject{31001, "description"})) << "the last error stays the current one";
}

TEST_F(MsgReporterTest, HandleSysErrReportsOtherErrorsAsNonFatalToTheLogUnlessVbDevel)
{
    const Call logged = systemError("Proc", "Non-Fatal", "Refer to the external error number", 5, "bad call", 4, 0);
    reporter.cHandleSysErr("Proc", ErrObject{5, "bad call"});
    ::setenv("VB_DEVEL", "", 1);
    reporter.cHandleSysErr("Proc", ErrObject{5, "bad call"});
    ::setenv("VB_DEVEL", "1", 1);
    reporter.cHandleSysErr("Proc", ErrObject{5, "bad call"});
    Call shown = logged;
    shown.args[1] = "1";
    EXPECT_EQ(g_calls, (std::vector<Call>{logged, logged, shown}));
}

TEST_F(MsgReporterTest, HandleSysErrWithoutAnErrorObjectUsesTheCurrentError)
{
    reporter.Err() = {31001, "no memory"};
    reporter.cHandleSysErr("Proc");
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls[0],
              systemError("Proc", "Fatal", "Out of memory for the running application", 31001, "no memory", 2, 1));
}

TEST_F(MsgReporterTest, AMissingEntryIsReportedUnderTheOperationsNameAndTheCallReturns)
{
    MsgReporter partialImpl{fakeComponent({"SetLogLevel", "SimpleMessagePrompt", "InitMsgReportingVers"})};
    clsReporter& partial = partialImpl;
    partial.cSetLogLevel(FATAL_ERR_WARN_INFO);
    const auto setLevel = g_calls;
    ASSERT_EQ(setLevel.size(), 2u);
    EXPECT_EQ(setLevel[0], systemError("cSetLogLevel", "Fatal", "Specified function not within the DLL", 453,
                                       "Specified function not within the DLL", 2, 1));

    g_calls.clear();
    EXPECT_EQ(partial.cMsgPrompt(YES_NO, "Quillon", 1501), 0);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls[0].args[2], "cMsgPrompt");

    g_calls.clear();
    EXPECT_FALSE(partial.cInitReporting("AMBApps", 2, 14));
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls[0].args[2], "InitReporting") << "the inner routine guards itself";
}

TEST_F(MsgReporterTest, AComponentThatCannotLoadReachesTheCallerAsAnError)
{
    MsgReporter unloadableImpl{fakeComponent({}, false)};
    clsReporter& unloadable = unloadableImpl;
    try {
        unloadable.cReportMsg(gmrERR, gmrDISP, "Proc", 1, 0, {"x"});
        FAIL() << "the failure was swallowed";
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), 53);
    }
    EXPECT_THROW(unloadable.cInitReporting("AMBApps", 2, 14), qln::EngineError);
    EXPECT_THROW(unloadable.cHandleSysErr("Proc", ErrObject{5, "x"}), qln::EngineError);
}

TEST_F(MsgReporterTest, PromptsPassTheirArgumentsAndReturnTheAnswerUnchanged)
{
    g_result = NO;
    EXPECT_EQ(reporter.cMsgPrompt(YES_NO, "Quillon", 1501), NO);
    g_result = 42;
    EXPECT_EQ(reporter.cMsgPrompt(OK_CANCEL, "Title", 1, {"question"}), 42);
    const std::vector<Call> expected{{"SimpleMessagePrompt", {"4", "Quillon", "1501", "0", ""}},
                                     {"SimpleMessagePrompt", {"1", "Title", "1", "1", "|question"}}};
    EXPECT_EQ(g_calls, expected);
}

TEST_F(MsgReporterTest, TheErrorStateBelongsToEachThread)
{
    reporter.Err() = {5, "main thread"};
    ErrObject seen{-1, "unset"};
    std::thread([&] {
        seen = reporter.Err();
        reporter.Err() = {6, "other thread"};
    }).join();
    EXPECT_EQ(seen, ErrObject{});
    EXPECT_EQ(reporter.Err(), (ErrObject{5, "main thread"}));
}
