#pragma once

// How the report buttons run their work off the GUI thread and speak to the user from it.

#include "quillon/engine/clsQuillon.h"
#include "quillon/viewer/ReportOptions.h"

#include <QString>

#include <functional>
#include <string>

namespace qln::viewer {

class Session;
class frmQuillon;

// A report's work: the engine run and the document. It gets an engine of its own and the
// messages to hand the report code, which tells the user itself what went wrong, and owns
// everything else it uses (record sets, inputs).
using ReportWork = std::function<void(engine::clsQuillon& engine, const Messages& messages)>;

// Runs the work as the window's background job: the wait pointer shown and controls held
// until it ends, the run's progress shown after caption, Cancel stopping the run. Once
// Cancel is pressed the work's messages are dropped. A failure outside the report code is
// reported under procedure. False, running nothing, while another job is busy.
bool runReportJob(Session& session, frmQuillon& form, const std::string& procedure, const QString& caption,
                  ReportWork work);

// The report code's messages as the window shows them: status texts in the status bar,
// boxes titled "Quillon", reports as message 1 to the display. Safe from any thread.
Messages windowMessages(Session& session, frmQuillon& form);

} // namespace qln::viewer
