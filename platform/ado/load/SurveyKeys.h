#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace qln::ado::detail {

// An index a soils database should have.
struct IndexPlan {
    std::string name;
    std::string table;
    std::vector<std::string> columns;
    bool unique = false;
    bool primary = false;  // the table's primary key
};

// The indexes the database's own metadata asks for: each index its index tables declare
// (mdstatidxmas, mdstatidxdet), then an index on every parent and child column of the
// relationship table (mdstatrshipdet) that no declared index already leads with. Indexes
// of tables or columns the database does not have are left out; without the metadata
// tables the list is empty.
std::vector<IndexPlan> surveyIndexPlans(sqlite3* db);

enum class IndexSet { PrimaryKeys, AllButPrimaryKeys, All };
enum class OnRepeatedKey { Fail, PlainIndex };

// Creates the planned indexes of the set. A unique index whose table repeats a key throws
// (std::runtime_error naming the table and index) or becomes a plain index.
void createIndexes(sqlite3* db, const std::vector<IndexPlan>& plans, IndexSet set, OnRepeatedKey repeated);

} // namespace qln::ado::detail
