#pragma once

#include "BackgroundRun.h"
#include "ViewerState.h"

#include <filesystem>
#include <optional>

namespace qln::viewer {

class frmQuillon;

// Replaces the working results database by its pristine copy. 1, or -1 with the cause
// reported: the pristine file missing (message 602) or the copy failing (the working
// database then stays as it was).
int OverwriteOutputDB(ViewerState& st);

// The GIS layer's attribute file when linked (shape folder and file name without its
// extension); none unlinked.
std::optional<std::filesystem::path> attributeFileOf(const ViewerState& st);

// The map units (mukey, musym) of the soils database named by the attribute file; every map
// unit of the soils database without a file. RefusedRun when the file lists no map unit
// (nothing would be asked of the database).
ado::Recordset layerMapunits(ado::Connection& soils, const std::optional<std::filesystem::path>& attributeFile);

// Fills MU_Data with the map units of the newly opened soils database: those of the GIS
// layer when linked, else all. 1, or -1 with the failure reported.
int PopulateOutputDB(ViewerState& st);

// The UserData record of the selected attribute (st.rsAttributes filtered to its row) from
// the Options tab. Throws OptionError or RefusedRun naming a value the run cannot take.
ado::Recordset SetUserDataRS(frmQuillon& form, ViewerState& st);

// Checks that a UserData record can be built for the run: 1, or -1 with the reason reported.
int SetAdoTelvaRS(frmQuillon& form, ViewerState& st);

// A connection to the session's results database, not yet opened, so that a worker can
// open it; `wait` decides how long a lock of another program is waited for (see
// ado::Connection::setLockWait).
ado::Connection resultsDBConnection(const ViewerState& st, ado::Connection::LockWait wait = {});
// The lock wait of a results database a worker opens: another program's lock is waited for
// as long as the job is not cancelled, and said beside Cancel. `context` is where the
// running job's context is kept (null while none runs).
ado::Connection::LockWait waitWhileLocked(BackgroundRun::Context* const& context);
// A new connection to the session's results database. Throws when it cannot be opened.
ado::Connection openResultsDB(const ViewerState& st);

// Before a run: 1 when its rating column is new to MU_Data or the user answers message 1501
// with Yes (replace it), -1 when the user keeps the existing column and nothing is to run.
int ConfirmResultsColumn(ViewerState& st, bool columnExists);

} // namespace qln::viewer
