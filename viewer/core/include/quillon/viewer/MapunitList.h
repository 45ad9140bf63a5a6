#pragma once

#include "quillon/ado/Recordset.h"
#include "quillon/engine/clsQuillon.h"
#include "quillon/viewer/ReportOptions.h"

#include <string>

namespace qln::viewer {

// The map unit list of both report grids: Survey Area, Map Unit, Map Unit Name, mukey,
// areaname, ssastatus, cordate, distgendate and Selected (all unticked), in the survey's
// sort order, for the map units given (mukey). 1, or -1 after reporting the failure (an
// empty key list among them).
short PopulateMapunitList(engine::clsQuillon& engine, const std::string& soilsConnect, ado::Recordset& mapunits,
                          ado::Recordset& list, const Messages& messages);

// Ticks or unticks every row of the list.
void SetAllRows(ado::Recordset& list, bool tick);

// Ticks or unticks the rows the list shows (its filter and sort kept).
void TickShownRows(const ado::Recordset& list, bool tick);
// Ticks or unticks the list's current row. The row is found by its survey area and symbol,
// so every clone of the list sees the tick.
void TickRow(const ado::Recordset& list, bool tick);
// Shows only the rows ticked now, or every row again.
void ShowSelectedRows(ado::Recordset& list, bool only);

// The ticked rows in the order the list shows them (its filter and sort): musym and mukey;
// none when the list is closed.
ado::Recordset GetSelectedRS(const ado::Recordset& list);

} // namespace qln::viewer
