#pragma once

#include "ViewerState.h"

namespace qln::viewer {

class frmQuillon;

// Builds the report tabs' map unit list from the map units given (every map unit of the
// soils database when unlinked, those of the GIS attribute file when linked) and shows a
// clone of it in each report grid, nothing ticked; the non-technical report's categories are
// read again on the tab's next visit. A failure empties both grids. 1, or -1 after
// reporting the failure under the procedure's name.
int PopulateMapunitList(ViewerState& st, frmQuillon& form, ado::Recordset& mapunits);

// Shows `list` (a map unit list as PopulateMapunitList builds it, or a closed record set
// for none) in the report grids, as that function does with the list it builds.
void ShowMapunitList(ViewerState& st, frmQuillon& form, const ado::Recordset& list);

} // namespace qln::viewer
