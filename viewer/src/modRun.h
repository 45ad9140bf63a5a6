#pragma once

// The process button: the selected attribute is rated on a worker thread with an engine,
// connections and record sets of its own; the ratings come back whole and are stored in
// MU_Data on the GUI thread, then shown by the GIS. A cancelled run stores nothing.

#include "ViewerState.h"

#include <exception>
#include <string>

namespace qln::viewer {

class frmQuillon;

void cmdCreateDBFFile_Click(frmQuillon& form, ViewerState& st);

// Reports a failed run as message 1: the engine's 0x80040203 and 0x80040208 and a results
// table at its column limit in words of their own, a value the user can mend as it is,
// anything else as source:description: Line #line.
void reportRunError(ViewerState& st, std::exception_ptr error, int line);

} // namespace qln::viewer
