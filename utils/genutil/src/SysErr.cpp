#include "SysErr.h"

#include "quillon/Error.h"
#include "quillon/reporter/Reporter.h"

#include <cstdlib>
#include <new>

namespace qln::genutil {

using reporter::fatalCause;
using reporter::kFatalText;
using reporter::kFatalTitle;

namespace {

constexpr std::int32_t gmrFATAL = 2;
constexpr std::int32_t gmrERR = 4;
constexpr std::int32_t gmrLOG = 0;
constexpr std::int32_t gmrDISP = 1;
constexpr std::int32_t kSystemErrorMsg = 203;
constexpr std::int32_t kOkOnly = 0;

void ReportErrMsg(std::int32_t aMsgType, std::int32_t aOutputDest, const char* aProcName, const ErrObject& aErr,
                  const std::string& first, const std::string& second)
{
    const std::string inserts = "|" + first + "|" + second;
    if (aErr.number != 0)
        ReportSimpleSysMessage(aMsgType, aOutputDest, aProcName, kSystemErrorMsg, 2, inserts.c_str(), aErr.number);
    else
        ReportSimpleMessage(aMsgType, aOutputDest, aProcName, kSystemErrorMsg, 2, inserts.c_str());
    // Whatever the destination: the user must learn that the program may now misbehave.
    if (aMsgType == gmrFATAL) ReporterMessageBox(kFatalTitle, kFatalText, kOkOnly);
}

} // namespace

void HandleSysErr(const char* aProcName, const ErrObject& aErr)
{
    if (const char* cause = fatalCause(aErr.number)) {
        ReportErrMsg(gmrFATAL, gmrDISP, aProcName, aErr, "Fatal", cause);
        return;
    }
    const char* devel = std::getenv("VB_DEVEL");
    ReportErrMsg(gmrERR, devel && *devel ? gmrDISP : gmrLOG, aProcName, aErr, "Non-Fatal",
                 "Refer to the external error number");
}

} // namespace qln::genutil
