#pragma once

// What the session's opening and its runs do alike on their workers.

#include "quillon/ado/Connection.h"
#include "quillon/ado/Recordset.h"
#include "quillon/viewer/JobProgress.h"

#include <filesystem>
#include <optional>
#include <string>

namespace qln::viewer::detail {

// Opens a soils database for reading only: the viewer never writes the survey data.
void openForReading(ado::Connection& soils, const std::string& connect);

// The lock wait of a results database a worker opens: another program's lock is waited for
// as long as the job is not cancelled, and said beside Cancel. `context` is where the
// running job's progress is kept (null while none runs).
ado::Connection::LockWait waitWhileLocked(JobProgress* const& context);

// The map units (mukey, musym) of the soils database named by the attribute file; every map
// unit of the soils database without a file. RefusedRun when the file lists no map unit.
ado::Recordset layerMapunits(ado::Connection& soils, const std::optional<std::filesystem::path>& attributeFile);

} // namespace qln::viewer::detail
