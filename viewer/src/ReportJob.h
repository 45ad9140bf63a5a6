#pragma once

// How the report buttons run their work and speak to the user from it.

#include "quillon/viewer/ReportOptions.h"

#include <functional>

namespace qln::viewer {

struct ViewerState;
class frmQuillon;

// Runs a report's work (the engine run and the document) and then hands its status to done
// on the GUI thread. The work owns what it is given: its own engine, record sets and
// document.
void runReportJob(frmQuillon& form, std::function<short()> work, std::function<void(short status)> done);

// The report code's messages as the window shows them: status texts in the status bar,
// boxes titled "Quillon", reports as message 1 to the display. Safe from any thread.
Messages windowMessages(ViewerState& st, frmQuillon& form);

} // namespace qln::viewer
