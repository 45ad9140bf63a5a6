#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace qln::test {

// Creates (or extends) an SQLite file by running SQL text, for building test databases.
inline void runSql(const std::filesystem::path& file, const std::string& sql)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create " + file.string());
    char* error = nullptr;
    // Test files need no durability: skipping the syncs keeps each test fast.
    const std::string script = "PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY; BEGIN; " + sql + "; COMMIT;";
    const int rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error("test SQL failed: " + message);
}

} // namespace qln::test
