#include "AccessCopy.h"
#include "SqliteHandles.h"

#include <string>

namespace qln::ado::detail {

bool isCompleteMirror(const std::filesystem::path& sqliteFile)
{
    std::error_code error;
    const std::uintmax_t length = std::filesystem::file_size(sqliteFile, error);
    if (error)
        return false;
    int rc = SQLITE_OK;
    const SqliteHandle db = openSqlite(sqliteFile.c_str(), SQLITE_OPEN_READONLY, rc);
    if (rc != SQLITE_OK)
        return false;
    auto single = [&](const char* sql) -> std::string {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db.get(), sql, -1, &stmt, nullptr) != SQLITE_OK)
            return {};
        const Statement guard(stmt);
        if (sqlite3_step(stmt) != SQLITE_ROW || sqlite3_column_type(stmt, 0) == SQLITE_NULL)
            return {};
        return reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    };
    // A cut file keeps its header, so the length is checked against the page count too.
    return single("PRAGMA user_version") == std::to_string(kMirrorComplete) &&
           single("SELECT page_count * page_size FROM pragma_page_count, pragma_page_size") ==
               std::to_string(length) &&
           single("PRAGMA quick_check(1)") == "ok";
}

} // namespace qln::ado::detail
