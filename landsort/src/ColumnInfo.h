#pragma once

#include "quillon/landsort/LandUnitSort.h"

#include <string>
#include <string_view>
#include <vector>

namespace qln::landsort::detail {

// One entry of a column specification: the column and how its values compare.
struct ColumnEntry {
    std::string column;
    SortTypes type;
};

// Which type letters an operation accepts.
enum class Letters {
    Recordset,  // R and N
    Array,      // R, N, S, D, I and F
};

// Parses "name,N|symbol,R" into its entries, first entry first. Raises
// eWrongNumberColumnParameters for an empty text or an entry that is not "name,letter",
// eColumnInvalid for an empty name, and eSecondParameterInvalid ("2nd Parameter for
// column <position> MUST be N or R.") for a letter the operation does not accept; source
// is the routine that checks the letters.
std::vector<ColumnEntry> parseColumnInfo(std::string_view iColInfo, Letters letters, std::string_view source);

} // namespace qln::landsort::detail
