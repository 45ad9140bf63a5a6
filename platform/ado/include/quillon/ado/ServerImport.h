#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qln::ado {

// Called after each table is loaded, with its name and row count.
using ImportProgress = std::function<void(std::string_view table, std::int64_t rows)>;

// Loads every user table of a soils database (an SQLite or Access file, as a connection
// string "DBQ=...;") into the schema a server connection string names (created when
// missing): names, types, Nulls and row order kept; a primary key on every parent column
// of the relationship metadata whose values are unique, an index on every child column.
// Tables of the same names are replaced; the whole load is one transaction, so on any
// error the schema stays as it was and an EngineError names the table and column. Rows are
// read a bounded number at a time, so memory does not grow with the size of a table.
void importToServer(const std::string& sourceConnect, const std::string& serverConnect,
                    const ImportProgress& progress = {});

} // namespace qln::ado
