#pragma once

// std::unique_ptr owners of SQLite's handles, so every early return closes what it opened.

#include <sqlite3.h>

#include <memory>

namespace qln::ado::detail {

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

} // namespace qln::ado::detail
