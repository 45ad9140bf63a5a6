#pragma once

#include "Table.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qln::ado::detail {

// Source text of the errors the data provider raises.
inline constexpr const char* kProviderSource = "Quillon data provider";

// [[noreturn]] helper: an EngineError(kProviderError, kProviderSource, description).
[[noreturn]] void raiseProviderError(std::string description);

// ASCII letters in upper case; type names and key words are ASCII whatever the data.
std::string upper(std::string_view text);

// "YYYY-MM-DD[ HH:MM[:SS[.fff]]]" (or with "T") as a day number; nothing when the text is
// no such date. Seconds keep their fraction with a point whatever the locale.
std::optional<Date> parseIsoDate(std::string_view text);

// One open database behind a connection: an SQLite file or a schema on a PostgreSQL
// server. Owned jointly by its connection and by the record sets that write their rows
// back to it.
class Database : public std::enable_shared_from_this<Database> {
public:
    virtual ~Database() = default;

    // Whether every write is refused.
    virtual bool readOnly() const = 0;
    // Raises the error of a write to a read-only database, naming the database and the table.
    virtual void requireWritable(std::string_view table) const = 0;

    // Runs one statement. A query gives its rows (bound for write-back when the database
    // allows it and every column comes from one table); other statements give nullptr.
    virtual std::shared_ptr<Table> query(std::string_view sql) = 0;
    // Runs one query for its rows alone, never bound for write-back; a database may read
    // them more cheaply than query() can.
    virtual std::shared_ptr<Table> readRows(std::string_view sql);
    // Runs statements that return no rows.
    virtual void exec(std::string_view sql) = 0;

    // Writes one row of a bound table: UPDATE by row id, or INSERT for a new row.
    virtual void writeRow(Table& table, std::uint32_t row) = 0;

    // The user tables in creation order; the columns of one table in stored order (the
    // table name matches without regard to case; empty when there is no such table).
    virtual std::vector<std::string> tableNames() = 0;
    virtual std::vector<FieldInfo> columns(std::string_view table) = 0;

    // The ADO type and size a declared column type stands for.
    static FieldInfo fieldForDeclaredType(std::string name, std::string_view declaredType);
};

} // namespace qln::ado::detail
