#pragma once

#include "quillon/reporter/SystemError.h"

namespace qln::genutil {

using reporter::caughtError;
using reporter::ErrObject;

// genutil's own copy of the message reporter's system error handler: message 203 as a
// fatal error to the display with the warning box for the numbers that leave the program
// unreliable (out of memory, bad arguments, a library or entry point missing), else as a
// non-fatal error to the log (also to the display when VB_DEVEL is set). The error number
// goes to the Reporter's ReportSimpleSysMessage, without its description.
void HandleSysErr(const char* aProcName, const ErrObject& aErr);

} // namespace qln::genutil
