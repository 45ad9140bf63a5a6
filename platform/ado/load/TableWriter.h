#pragma once

#include "SqliteHandles.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qln::ado::detail {

// A column of a table being loaded and the declared SQLite type that stands for it.
struct LoadColumn {
    std::string name;
    std::string declaredType;
};

// One value of a row being loaded. Text (UTF-8) and Blob bytes belong to the caller and
// only need to live until the row is stored.
struct LoadValue {
    enum class Kind { Null, Integer, Real, Text, Blob };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string_view bytes;
};

// Writes the tables of an import into a fresh SQLite file in one transaction: every import
// (an Access file, a survey download) stores its rows through this one writer. Errors are
// std::runtime_error with SQLite's message; the importer names the files.
class TableWriter {
public:
    explicit TableWriter(const std::filesystem::path& file);

    void createTable(const std::string& name, const std::vector<LoadColumn>& columns);
    // Stores a row in the table created or chosen last. False, storing nothing, when the row
    // repeats a key of a unique index; any other failure throws.
    bool insert(const std::vector<LoadValue>& row);
    // Makes later rows go to a table created earlier.
    void chooseTable(const std::string& name, std::size_t columns);

    // Marks the file with the given user_version in the transaction that holds every row,
    // then closes it.
    void commit(int userVersion);

    void exec(const std::string& sql);
    sqlite3* handle() const { return m_db.get(); }

private:
    [[noreturn]] void fail(const std::string& what) const;

    SqliteHandle m_db;
    Statement m_insert;
};

// Binds a load value to a statement's 1-based parameter (bytes are not copied).
void bindLoadValue(sqlite3_stmt* stmt, int index, const LoadValue& value);

} // namespace qln::ado::detail
