#pragma once

#include "quillon/ado/Recordset.h"

#include <filesystem>

namespace qln::ado {

// Reads a dBase table (the attribute file of a GIS layer) into a disconnected record set:
// texts as adVarChar of the column's width (converted to UTF-8 by the file's code page: the
// .cpg beside it, else the header's language byte; CodePage.h), numbers, logicals and dates
// typed; empty cells Null. Errors name the file.
Recordset readDbaseTable(const std::filesystem::path& file);

} // namespace qln::ado
