#pragma once

// The message reporter class (ProgID "AMB_Msg_Reporter.clsReporter", library
// libmsgreporter.so). Programs do not link the library: they create the object with
// qln::components::create<qln::reporting::clsReporter>(kReporterProgId) and call it through
// this interface. Every operation returns normally unless the Reporter component itself
// cannot be loaded or lacks an entry point; then the failure arrives as qln::EngineError
// (53 or 453).

#include "quillon/Variant.h"
#include "quillon/reporter/SystemError.h"

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qln::reporting {

inline constexpr const char* kReporterProgId = "AMB_Msg_Reporter.clsReporter";

enum MRUMsgType : std::int32_t { gmrFATAL = 2, gmrERR = 4, gmrWARN = 8, gmrINFO = 16 };
enum MRUMsgDest : std::int32_t { gmrLOG = 0, gmrDISP = 1 };
enum MRULogLevel : std::int32_t { FATAL_ERR = 6, FATAL_ERR_WARN = 14, FATAL_ERR_WARN_INFO = 30 };
enum MRUPromptType : std::int32_t { OK_CANCEL = 1, ABORT_RETRY_CANCEL = 2, YES_NO_CANCEL = 3, YES_NO = 4, RETRY_CANCEL = 5 };
enum MRUPromptResp : std::int32_t { OK = 1, Cancel = 2, ABORT = 3, RETRY = 4, IGNORE = 5, YES = 6, NO = 7 };

using ErrObject = reporter::ErrObject;

// One insert argument: a value, or a whole list of inserts handed on from another variadic
// call (a first insert that is a list stands for the inserts: see cReportMsg).
class Insert {
public:
    template <class T>
        requires std::constructible_from<Variant, T>
    Insert(T&& value) : m_value(Variant(std::forward<T>(value)))
    {
    }
    Insert(std::vector<Insert> list) : m_value(std::move(list)) {}

    bool isList() const { return std::holds_alternative<std::vector<Insert>>(m_value); }
    // The value; calling it on a list is a broken invariant (and the other way round).
    const Variant& value() const { return std::get<Variant>(m_value); }
    const std::vector<Insert>& list() const { return std::get<std::vector<Insert>>(m_value); }

private:
    std::variant<Variant, std::vector<Insert>> m_value;
};
using InsertList = std::vector<Insert>;

// Message texts name the inserts %1, %2, ... in the order given; each insert travels as its
// text form (Variant::text()).
class clsReporter {
public:
    virtual ~clsReporter() = default;

    // Sets which message types are recorded.
    virtual void cSetLogLevel(MRULogLevel aLogLevel) = 0;

    // Starts reporting for the process under event source aEventSrc + aMRUVers (version 2
    // when omitted) with the caller's category; batch (unattended) reporting whenever
    // aBatchMode is given, whatever its value. False when the component refused.
    virtual bool cInitReporting(std::string_view aEventSrc, std::optional<std::int32_t> aMRUVers,
                                std::int32_t aProcessCategory, std::optional<Variant> aBatchMode = std::nullopt) = 0;

    // Reports catalog message aMsgId with the inserts. aSysErrNum 0: no system error; else it
    // is reported as the message's system error number with an empty description. The
    // calling thread's error state (Err()) is the same afterwards. A first insert that is
    // itself a list replaces the inserts (any further ones are dropped). A gmrFATAL report
    // ends in a warning box.
    virtual void cReportMsg(MRUMsgType aMsgType, MRUMsgDest aOutputDest, std::string_view aProcName,
                            std::int32_t aMsgId, std::int32_t aSysErrNum, const InsertList& aArgListIn = {}) = 0;

    // Reports the error aErr (or, when omitted, this thread's current error state) of
    // procedure aProcName as message 203: "Fatal" for out of memory (7, 31001), bad
    // arguments (13, 49), a library failing to load (48), a missing library (53) or entry
    // point (453), as gmrFATAL to the display with the warning box; else "Non-Fatal" as
    // gmrERR to the log, or also to the display when VB_DEVEL is set. aErr becomes this
    // thread's error state.
    virtual void cHandleSysErr(std::string_view aProcName, const std::optional<ErrObject>& aErr = std::nullopt) = 0;

    // Asks catalog message aMsgId as a question with the buttons of aPromptType; returns the
    // button chosen, or 0 when asking failed.
    virtual MRUPromptResp cMsgPrompt(MRUPromptType aPromptType, std::string_view aTitle, std::int32_t aMsgId,
                                     const InsertList& aArgList = {}) = 0;

    // As cReportMsg, with the system error number and description of aErrObj.
    virtual void cReportMsg2(std::int32_t aMsgType, std::int32_t aOutputDest, std::string_view aProcName,
                             std::int32_t aMsgId, const ErrObject& aErrObj, const InsertList& aArgListIn = {}) = 0;

    // The calling thread's current error state, shared by all reporter objects.
    virtual ErrObject& Err() = 0;
};

} // namespace qln::reporting
