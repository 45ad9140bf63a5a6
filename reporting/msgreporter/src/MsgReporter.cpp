#include "MsgReporter.h"

#include "quillon/Error.h"
#include "quillon/reporter/Reporter.h"
#include "quillon/reporter/SystemError.h"

#include <cstdlib>
#include <new>

namespace qln::reporting {

using reporter::caughtError;
using reporter::fatalCause;
using reporter::kFatalText;
using reporter::kFatalTitle;

namespace {

constexpr std::int32_t kSystemErrorMsg = 203;
constexpr std::int32_t kTypeMismatch = 13;
constexpr std::int32_t kOkOnly = 0;

thread_local ErrObject t_err;

} // namespace

MsgReporter::MsgReporter(EntryResolver resolve) : m_resolve(std::move(resolve)) {}

ErrObject& MsgReporter::Err()
{
    return t_err;
}

// Guards: a failure in an operation's body goes to the system error handler under the
// operation's name; a failure of the handler itself reaches the caller.

void MsgReporter::cSetLogLevel(MRULogLevel aLogLevel)
{
    try {
        entry<decltype(SetLogLevel)>("SetLogLevel")(aLogLevel);
    } catch (...) {
        HandleSysErr("cSetLogLevel", caughtError());
    }
}

bool MsgReporter::cInitReporting(std::string_view aEventSrc, std::optional<std::int32_t> aMRUVers,
                                 std::int32_t aProcessCategory, std::optional<Variant> aBatchMode)
{
    try {
        return InitReporting(aEventSrc, aMRUVers, aProcessCategory, aBatchMode.has_value());
    } catch (...) {
        HandleSysErr("cInitReporting", caughtError());
        return false;
    }
}

bool MsgReporter::InitReporting(std::string_view aEventSrc, std::optional<std::int32_t> aMRUVers,
                                std::int32_t aProcessCategory, bool batch)
{
    try {
        const std::string source(aEventSrc);
        const auto start = batch ? entry<decltype(InitBatchMsgReportingVers)>("InitBatchMsgReportingVers")
                                 : entry<decltype(InitMsgReportingVers)>("InitMsgReportingVers");
        const std::int32_t result = start(source.c_str(), aMRUVers.value_or(2), aProcessCategory);
        return (result & 0xFFFF) != 0;
    } catch (...) {
        HandleSysErr("InitReporting", caughtError());
        return false;
    }
}

void MsgReporter::cReportMsg(MRUMsgType aMsgType, MRUMsgDest aOutputDest, std::string_view aProcName,
                             std::int32_t aMsgId, std::int32_t aSysErrNum, const InsertList& aArgListIn)
{
    try {
        ReportMsg(aMsgType, aOutputDest, aProcName, aMsgId, aSysErrNum, aArgListIn);
    } catch (...) {
        HandleSysErr("cReportMsg", caughtError());
    }
}

void MsgReporter::cReportMsg2(std::int32_t aMsgType, std::int32_t aOutputDest, std::string_view aProcName,
                              std::int32_t aMsgId, const ErrObject& aErrObj, const InsertList& aArgListIn)
{
    try {
        ReportErrMsg(aMsgType, aOutputDest, aProcName, aMsgId, aErrObj, aArgListIn);
    } catch (...) {
        HandleSysErr("cReportMsg2", caughtError());
    }
}

MRUPromptResp MsgReporter::cMsgPrompt(MRUPromptType aPromptType, std::string_view aTitle, std::int32_t aMsgId,
                                      const InsertList& aArgList)
{
    try {
        const ArgString args = GenArgString(aArgList);
        const std::string title(aTitle);
        return static_cast<MRUPromptResp>(entry<decltype(SimpleMessagePrompt)>("SimpleMessagePrompt")(
            aPromptType, title.c_str(), aMsgId, args.count, args.text.c_str()));
    } catch (...) {
        HandleSysErr("cMsgPrompt", caughtError());
        return static_cast<MRUPromptResp>(0);
    }
}

void MsgReporter::cHandleSysErr(std::string_view aProcName, const std::optional<ErrObject>& aErr)
{
    HandleSysErr(aProcName, aErr);
}

void MsgReporter::ReportMsg(std::int32_t aMsgType, std::int32_t aOutputDest, std::string_view aProcName,
                            std::int32_t aMsgId, std::int32_t aSysErrNum, const InsertList& aArgListIn)
{
    const ErrObject saved = Err();
    Err() = {aSysErrNum, {}};
    ReportErrMsg(aMsgType, aOutputDest, aProcName, aMsgId, Err(), aArgListIn);
    Err() = saved;
}

void MsgReporter::ReportErrMsg(std::int32_t aMsgType, std::int32_t aOutputDest, std::string_view aProcName,
                               std::int32_t aMsgId, ErrObject aErrObj, const InsertList& aArgListIn)
{
    const ArgString args = GenArgString(aArgListIn);
    const std::string procedure(aProcName);
    if (aErrObj.number != 0)
        entry<decltype(ReportSimpleSysMessage2)>("ReportSimpleSysMessage2")(
            aMsgType, aOutputDest, procedure.c_str(), aMsgId, args.count, args.text.c_str(), aErrObj.number,
            aErrObj.description.c_str());
    else
        entry<decltype(ReportSimpleMessage)>("ReportSimpleMessage")(aMsgType, aOutputDest, procedure.c_str(), aMsgId,
                                                                    args.count, args.text.c_str());
    // Whatever the destination: the user must learn that the program may now misbehave.
    if (aMsgType == gmrFATAL) entry<decltype(ReporterMessageBox)>("ReporterMessageBox")(kFatalTitle, kFatalText, kOkOnly);
}

MsgReporter::ArgString MsgReporter::GenArgString(const InsertList& aArgList)
{
    try {
        const InsertList* list = &aArgList;
        while (!list->empty() && list->front().isList()) list = &list->front().list();
        ArgString result;
        for (const Insert& insert : *list) {
            if (insert.isList()) throw EngineError(kTypeMismatch, "GenArgString", "Type mismatch");
            result.text += "|" + insert.value().text();
        }
        result.count = static_cast<std::int32_t>(list->size());
        return result;
    } catch (...) {
        HandleSysErr("GenArgString", caughtError());
        return {};
    }
}

void MsgReporter::HandleSysErr(std::string_view aProcName, const std::optional<ErrObject>& aErr)
{
    if (aErr) Err() = *aErr;
    if (const char* cause = fatalCause(Err().number)) {
        ReportErrMsg(gmrFATAL, gmrDISP, aProcName, kSystemErrorMsg, Err(), {"Fatal", cause});
        return;
    }
    const char* devel = std::getenv("VB_DEVEL");
    ReportErrMsg(gmrERR, devel && *devel ? gmrDISP : gmrLOG, aProcName, kSystemErrorMsg, Err(),
                 {"Non-Fatal", "Refer to the external error number"});
}

} // namespace qln::reporting
