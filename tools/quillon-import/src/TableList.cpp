#include "TableList.h"

#include "quillon/Error.h"

#include <sqlite3.h>

#include <memory>

namespace qln::tools {

namespace {

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};

std::string quotedName(const std::string& name)
{
    std::string result = "\"";
    for (const char c : name) {
        if (c == '"')
            result += '"';
        result += c;
    }
    return result + '"';
}

} // namespace

std::vector<TableCount> listTables(const std::filesystem::path& sqliteFile)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(sqliteFile.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, SqliteCloser> db(raw);
    auto fail = [&] {
        throw EngineError(kProviderError, "quillon-import",
                          "Cannot list the tables of '" + sqliteFile.string() + "': " +
                              (db ? sqlite3_errmsg(db.get()) : "out of memory"));
    };
    if (rc != SQLITE_OK)
        fail();
    auto query = [&](const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            fail();
        return std::unique_ptr<sqlite3_stmt, StatementFinalizer>(stmt);
    };

    std::vector<TableCount> tables;
    auto names = query("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(names.get())) == SQLITE_ROW)
        tables.push_back({reinterpret_cast<const char*>(sqlite3_column_text(names.get(), 0)), 0});
    if (step != SQLITE_DONE)
        fail();
    for (TableCount& table : tables) {
        auto count = query("SELECT count(*) FROM " + quotedName(table.name));
        if (sqlite3_step(count.get()) != SQLITE_ROW)
            fail();
        table.rows = sqlite3_column_int64(count.get(), 0);
    }
    return tables;
}

} // namespace qln::tools
