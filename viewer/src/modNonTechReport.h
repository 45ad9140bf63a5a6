#pragma once

#include "ViewerState.h"

namespace qln::viewer {

class frmQuillon;

// Reads the description categories and map units of the open soils database for the
// non-technical report and fills the tab's category list, nothing selected. 1, or -1 after
// reporting the failure.
int SetNonTechRSs(ViewerState& st, frmQuillon& form);

// The "Preview Report" button of the Non-Tech Reports tab. Nothing it meets ends the
// program: a failure is reported under the button's name and the pointer restored.
void cmdNonTechReport_Click(ViewerState& st, frmQuillon& form);

// The non-technical report of the categories selected and the map units ticked in
// dtSelNTMUs, opened when done; refused with a box without a category or a ticked unit.
void PopulateNonTechReport(ViewerState& st, frmQuillon& form);

} // namespace qln::viewer
