#pragma once

#include "ColumnInfo.h"
#include "quillon/ado/Recordset.h"
#include "quillon/landsort/LandUnitSort.h"

#include <string_view>
#include <vector>

namespace qln::landsort::detail {

// Raises when rs is closed; source starts the error's trail.
void requireOpen(const ado::Recordset& rs, std::string_view source);

// The index of a column to sort rs by; raises eColumnInvalid for an empty name or a
// chapter, eColumnNotFoundInRecordset for a name rs does not have.
int requireColumn(const ado::Recordset& rs, std::string_view name, std::string_view source);

// Orders the visible rows of rs in place by the entries (first entry first) and leaves rs
// on its first row; returns the exchanges made. On failure rs keeps its rows as they were.
long sortInPlace(ado::Recordset& rs, const std::vector<ColumnEntry>& entries, const ProgressHandler& progress,
                 std::string_view source);

// A new record set with the fields and visible rows of rs ordered by the identifiers in
// strCol (three pieces), rows equal there by strCol2 when not empty.
ado::Recordset sortByIdentifiers(const ado::Recordset& rs, std::string_view strCol, std::string_view strCol2,
                                 const ProgressHandler& progress);

} // namespace qln::landsort::detail
