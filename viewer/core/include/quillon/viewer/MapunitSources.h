#pragma once

// The map units a run starts from: those of the GIS layer's attribute file (a dBase table
// beside the shapefile) and those of the soils database.

#include "quillon/ado/Connection.h"
#include "quillon/ado/Recordset.h"

#include <filesystem>
#include <optional>
#include <string>

namespace qln::viewer {

// The distinct (mukey, musym) pairs of shapeDirectory/attributeFileName.dbf (the extension
// in any letter case), in the order first met, leaving out rows whose mukey is Null or
// blank; an in-memory record set with the updatable text fields mukey (16) and musym (6).
// Field names match in any letter case and texts are read in the file's code page. Nothing
// when attributeFileName is blank. Errors (a missing file or column) carry the trail
// "GetMUFromDBF(Line n)/".
std::optional<ado::Recordset> GetMUFromDBF(const std::filesystem::path& shapeDirectory,
                                           const std::string& attributeFileName);

// "select distinct(mukey),musym from mapunit " with condition appended as it stands (the
// run passes " WHERE mukey IN (...)"), opened on the soils connection; every map unit
// without a condition. Errors carry the trail "GetMUFromMDB(Line n)/".
ado::Recordset GetMUFromMDB(ado::Connection& soils, const std::string& condition = {});

} // namespace qln::viewer
