#pragma once

#include "Table.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

struct sqlite3;

namespace qln::ado::detail {

// Source text of the errors the data provider raises.
inline constexpr const char* kProviderSource = "Quillon data provider";

// [[noreturn]] helper: an EngineError(kProviderError, kProviderSource, description).
[[noreturn]] void raiseProviderError(std::string description);

// One open SQLite file. Owned jointly by its connection and by the record sets that write
// their rows back to it.
class Database : public std::enable_shared_from_this<Database> {
public:
    // Opens an existing file (never creates one): read-only when asked, else read-write
    // when the file allows it. Errors name the file when it cannot be opened or is no
    // SQLite database.
    static std::shared_ptr<Database> open(const std::filesystem::path& file, bool readOnly = false);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // Whether every write is refused.
    bool readOnly() const { return m_readOnly; }
    // Raises the error of a write to a read-only database, naming the file and the table.
    void requireWritable(std::string_view table) const;

    // Runs one statement. A query gives its rows (bound for write-back when every column
    // comes from one table); other statements give nullptr.
    std::shared_ptr<Table> query(std::string_view sql);
    // Runs statements that return no rows.
    void exec(std::string_view sql);

    // Writes one row of a bound table: UPDATE by row id, or INSERT for a new row.
    void writeRow(Table& table, std::uint32_t row);

    // "table" is a user table; its columns in stored order.
    std::vector<std::string> tableNames();
    std::vector<FieldInfo> columns(std::string_view table);

    // The ADO type and size a declared SQLite column type stands for.
    static FieldInfo fieldForDeclaredType(std::string name, std::string_view declaredType);

private:
    Database(std::filesystem::path path, sqlite3* handle, bool readOnly);
    [[noreturn]] void fail(std::string_view what) const;

    std::filesystem::path m_path;
    sqlite3* m_handle;
    bool m_readOnly;
};

} // namespace qln::ado::detail
