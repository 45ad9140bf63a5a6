#pragma once

#include "quillon/ado/Recordset.h"

#include <ostream>
#include <string>

namespace qln::rate {

enum class OutputFormat { Csv, Json, Table };

// Writes every row of the record set, fields in their order, with a header of their names.
// Null is an empty cell (null in JSON); single precision shows at most 7 significant
// digits, other numbers their shortest exact decimals.
void writeResults(ado::Recordset results, OutputFormat format, std::ostream& out);

} // namespace qln::rate
