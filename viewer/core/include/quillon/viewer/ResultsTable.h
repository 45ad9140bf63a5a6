#pragma once

// MU_Data, the results table of a session: one row per map unit of the GIS layer and one
// column per stored rating. Every change is written whole or not at all.

#include "quillon/ado/Connection.h"
#include "quillon/ado/Recordset.h"

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace qln::viewer {

inline constexpr const char* kResultsTable = "MU_Data";
// The most columns a results table may hold (the limit of the Access tables it stood for).
inline constexpr int kMaxResultColumns = 255;

// A new rating column would pass kMaxResultColumns; nothing was changed.
class TooManyColumns : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws OptionError naming the name unless it can be a rating column: 1 to 10 characters,
// a letter first, then letters, digits or _, and neither mukey nor musym in any case.
void checkOutputColumn(const std::string& name);

// 1; index is the zero-based position of the first field named `name`, letter case
// ignored as the database ignores it, or -1.
short FindRSColumn(const ado::Recordset& rs, const std::string& name, int& index);

// Appends (musym, mukey) to `table` for every row of `mapunits` whose mukey is not Null, in
// their order. 1. Throws (and adds nothing) when a row cannot be written.
short AddMapUnitSymbols(ado::Connection& results, const std::string& table, ado::Recordset& mapunits);

// Asked when the rating column exists already: true replaces it.
using ReplacePrompt = std::function<bool()>;

// Adds `column` of the Access SQL `type` to `table` (1). When a column of that name exists
// the prompt decides: No gives -1 and changes nothing; Yes empties the whole column (every
// row Null) and gives 1, so units the new run leaves unrated keep no old value. Throws
// TooManyColumns at the limit, OptionError for a type that is no plain type name.
short AddColumn(ado::Connection& results, const std::string& table, const std::string& column, const std::string& type,
                const ReplacePrompt& replace);

// True when `table` has a column of that name, letter case ignored.
bool HasColumn(ado::Connection& results, const std::string& table, const std::string& column);

// Told of each MU_Data row the store passes (done of total); false abandons the store.
using StoreProgress = std::function<bool(long done, long total)>;

// Stores a run: adds the ratings' column (their third field, by AddColumn) to MU_Data and
// sets it in every row from the first ratings row with the same mukey; rows without one
// keep Null. Column and values are one transaction. MU_Data's mukey and rating column after
// the update, or nothing, with nothing changed, when the user kept the existing column or
// `progress` abandoned the store.
std::optional<ado::Recordset> AddToResultsDB(ado::Connection& results, const std::string& type,
                                             const ado::Recordset& ratings, const ReplacePrompt& replace,
                                             const StoreProgress& progress = nullptr);

} // namespace qln::viewer
