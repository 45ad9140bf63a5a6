#pragma once

#include "ViewerState.h"

#include <string>

namespace qln::viewer {

class frmQuillon;

// The "Preview Report" button of the Reports tab: refuses a folder and more than one GIS
// window, then runs PopulateReport for the results table "MU_Data".
void cmdGenerateReport_Click(ViewerState& st, frmQuillon& form);

// The rating report of the map units ticked in dtSelectMU: a run of the Options tab's
// choices over them, its XML document and the word-processor document, opened when done.
// Refuses with a box when nothing is ticked. 1 when the work was started, -1 otherwise.
int PopulateReport(ViewerState& st, frmQuillon& form, const std::string& outputTable);

} // namespace qln::viewer
