#pragma once

#include "quillon/ado/Recordset.h"

#include <ostream>
#include <stdexcept>
#include <string>

namespace qln::rate {

// A rating that is infinite or not a number; no output is written for the run.
class NonFiniteValue : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class OutputFormat { Csv, Json, Table };

// Writes every row of the record set, fields in their order, with a header of their names.
// Null is an empty cell (null in JSON); single precision shows at most 7 significant
// digits, other numbers their shortest exact decimals, never in the locale's form. A value
// that is not finite throws NonFiniteValue before its row is written.
void writeResults(ado::Recordset results, OutputFormat format, std::ostream& out);

// What a field holds for GIS files, "Integer", "Real" or "String": as the field is declared,
// or, where it is not, as its values are.
std::string columnType(ado::Recordset& results, int field);

// The type file GDAL reads beside a CSV (.csvt): one line of quoted types, columnType's,
// per field.
std::string csvTypes(ado::Recordset& results);

} // namespace qln::rate
