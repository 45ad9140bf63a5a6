#pragma once

#include "quillon/Variant.h"
#include "quillon/ado/Recordset.h"

#include <string>
#include <string_view>

namespace qln::engine {

// Readings of one field of the current record, the way the rules and UserData records are
// read: a Null text is "", a Null number 0, a flag is any non-zero value.
std::string textField(const ado::Recordset& record, std::string_view name);
long numberField(const ado::Recordset& record, std::string_view name);
bool flagField(const ado::Recordset& record, std::string_view name);

// A number read from a value: numbers as they are, texts by their leading number.
double numberOf(const Variant& value);
// Whether the record set has a current record.
bool hasRow(const ado::Recordset& record);

} // namespace qln::engine
