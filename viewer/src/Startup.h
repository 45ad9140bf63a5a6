#pragma once

#include "quillon/viewer/Session.h"

#include <memory>

namespace qln::viewer {

class frmQuillon;

// Start-up, in the order of the program's entry procedure: refuses a second copy and more
// than one GIS window, loads the window, creates the components, reads the settings and
// the rules, resets the results database, fills the window and shows it. Returns the
// window when the program runs on; nullptr when start-up ended it (the cause was shown).
std::unique_ptr<frmQuillon> Main(Session& session);

// Creates the reporter and the engine, starts reporting, opens the GIS link, reads the
// settings and the four rules tables. 1 or -1.
int Check_QLN_System(Session& session, frmQuillon& form);

} // namespace qln::viewer
