#pragma once

// Choosing, checking and opening the soils database: the survey-area list, the browse
// button and the change-database menu, and the opening that rebuilds what depends on it.

#include "ViewerState.h"

#include <string>

namespace qln::viewer {

class frmQuillon;

// Whether folder/fileName opens and has the KORVAL Version 2 layout; on success the file
// name is remembered as "SoilsDataFile". The process and report buttons are disabled while
// checking and get their states back after. Why a file failed goes to the log.
bool CheckValidMDB(ViewerState& st, frmQuillon& form, const std::string& folder, const std::string& fileName);

// The browse button and the change-database menu: a file chosen in any folder is checked
// and, when valid, listed with its folder's soils files and opened.
void cmdSelectFolder_Click(ViewerState& st, frmQuillon& form);

// A database chosen in the survey-area list (or remembered at start-up): checked unless
// the browse button did so already, then opened; the results database and the GIS themes
// are reset except on the first opening.
void cboSSAList_Click(ViewerState& st, frmQuillon& form);

// Makes fileName (in the current soils data folder) the open soils database: its three
// connection strings, its connection, the two record sets read at opening and the month
// lists. 1, or -1 with the cause reported.
int ResetTelvaConnection(ViewerState& st, frmQuillon& form, const std::string& fileName);

} // namespace qln::viewer
