#pragma once

#include <cstdint>
#include <string>

namespace qln::genutil {

struct ErrObject {
    std::int32_t number = 0;
    std::string description;
};

// Call inside a catch block: the failure being handled as an error object.
ErrObject caughtError();

// genutil's own copy of the message reporter's system error handler: message 203 as a
// fatal error to the display with the warning box for the numbers that leave the program
// unreliable (out of memory, bad arguments, a library or entry point missing), else as a
// non-fatal error to the log (also to the display when VB_DEVEL is set). The error number
// goes to the Reporter's ReportSimpleSysMessage, without its description.
void HandleSysErr(const char* aProcName, const ErrObject& aErr);

} // namespace qln::genutil
