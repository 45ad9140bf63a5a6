#pragma once

// std::unique_ptr owners of SQLite's handles, so every early return closes what it opened.

#include <sqlite3.h>

#include <memory>
#include <string>

namespace qln::ado::detail {

// close_v2: a statement that outlives its connection keeps it until it is finalized.
struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Opens a database. The handle is owned even when the open fails, as SQLite then hands one
// back for its message; rc says how it went.
inline SqliteHandle openSqlite(const char* name, int flags, int& rc)
{
    sqlite3* raw = nullptr;
    rc = sqlite3_open_v2(name, &raw, flags, nullptr);
    return SqliteHandle(raw);
}

// A column of the current row as text; "" for Null.
inline std::string columnText(sqlite3_stmt* stmt, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))) : std::string();
}

} // namespace qln::ado::detail
