#pragma once

// How the viewer's error handlers report: message 1 to the display under the handler's
// procedure name, with the error's number and description, its text saying what failed and
// then the description, so the box shows the cause as well as the log.

#include <exception>
#include <string>

namespace qln::viewer {

struct ViewerState;

// Reports the error being handled; call inside a catch block.
void ReportCaughtError(const ViewerState& st, const char* procedure, const std::string& what);
// Reports an error handed over from another thread.
void ReportError(const ViewerState& st, const char* procedure, const std::string& what, std::exception_ptr error);

} // namespace qln::viewer
