#include "SysErr.h"

#include "quillon/Error.h"
#include "quillon/reporter/Reporter.h"

#include <cstdlib>
#include <new>

namespace qln::genutil {

namespace {

constexpr std::int32_t gmrFATAL = 2;
constexpr std::int32_t gmrERR = 4;
constexpr std::int32_t gmrLOG = 0;
constexpr std::int32_t gmrDISP = 1;
constexpr std::int32_t kSystemErrorMsg = 203;
constexpr std::int32_t kOkOnly = 0;

constexpr const char* kFatalTitle = "WARNING! WARNING! WARNING!";
constexpr const char* kFatalText = "WARNING: A Fatal error was just reported! The\n"
                                   "applications behavior is  unpredicable at this\n"
                                   "point. Manually terminate the application!!";

// The cause that makes an error number fatal, or nullptr for any other number.
const char* fatalCause(std::int32_t number)
{
    switch (number) {
    case 7:
    case 31001: return "Out of memory for the running application";
    case 13:
    case 49: return "Invalid arguments passed to a DLL function";
    case 48: return "Error in loading a DLL for the application";
    case 53: return "Unable to locate a DLL";
    case 453: return "Specified function not within the DLL";
    default: return nullptr;
    }
}

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

ErrObject caughtError()
{
    try {
        throw;
    } catch (const EngineError& error) {
        return {static_cast<std::int32_t>(error.number()), error.description()};
    } catch (const std::bad_alloc&) {
        return {7, "Out of memory"};
    } catch (const std::exception& error) {
        return {static_cast<std::int32_t>(kUnexpectedError), error.what()};
    } catch (...) {
        return {static_cast<std::int32_t>(kUnexpectedError), "Unknown failure"};
    }
}

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
