#include "AccessCopy.h"

#include "AccessReader.h"
#include "SqliteHandles.h"
#include "quillon/SqlText.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace qln::ado::detail {

namespace {

// Writes the tables of an import into a fresh SQLite file. Errors are std::runtime_error
// with SQLite's message; importAccessFile names the files.
class SqliteWriter {
public:
    explicit SqliteWriter(const std::filesystem::path& file)
    {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        m_db.reset(raw);
        if (rc != SQLITE_OK)
            fail("cannot open '" + file.string() + "'");
        // The file only becomes the mirror after a complete import, so no journal is needed.
        exec("PRAGMA journal_mode=OFF");
        exec("PRAGMA synchronous=OFF");
        exec("BEGIN");
    }

    void createTable(const std::string& name, const std::vector<detail::AccessColumn>& columns)
    {
        std::string create = "CREATE TABLE " + quoteIdentifier(name) + " (";
        std::string insert = "INSERT INTO " + quoteIdentifier(name) + " VALUES (";
        for (std::size_t i = 0; i < columns.size(); ++i) {
            create += (i ? ", " : "") + quoteIdentifier(columns[i].name) + " " + columns[i].declaredType;
            insert += i ? ",?" : "?";
        }
        exec(create + ")");
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(m_db.get(), (insert + ")").c_str(), -1, &raw, nullptr) != SQLITE_OK)
            fail("cannot prepare the rows of table '" + name + "'");
        m_insert.reset(raw);
    }

    void insert(const std::vector<AccessValue>& row)
    {
        sqlite3_stmt* stmt = m_insert.get();
        sqlite3_reset(stmt);
        for (std::size_t i = 0; i < row.size(); ++i) {
            const AccessValue& value = row[i];
            const int index = static_cast<int>(i) + 1;
            switch (value.kind) {
            case AccessValue::Kind::Null:
                sqlite3_bind_null(stmt, index);
                break;
            case AccessValue::Kind::Integer:
                sqlite3_bind_int64(stmt, index, value.integer);
                break;
            case AccessValue::Kind::Real:
                sqlite3_bind_double(stmt, index, value.real);
                break;
            case AccessValue::Kind::Text:
                sqlite3_bind_text64(stmt, index, value.bytes.data(), value.bytes.size(), SQLITE_STATIC, SQLITE_UTF8);
                break;
            case AccessValue::Kind::Blob:
                sqlite3_bind_blob64(stmt, index, value.bytes.data(), value.bytes.size(), SQLITE_STATIC);
                break;
            }
        }
        if (sqlite3_step(stmt) != SQLITE_DONE)
            fail("cannot store a row");
    }

    // Marks the file complete in the transaction that holds every row.
    void commit()
    {
        m_insert.reset();
        exec("PRAGMA user_version=" + std::to_string(kMirrorComplete));
        exec("COMMIT");
        if (sqlite3_close(m_db.release()) != SQLITE_OK)
            throw std::runtime_error("cannot close the SQLite file");
    }

private:
    void exec(const std::string& sql)
    {
        if (sqlite3_exec(m_db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail("cannot run \"" + sql + "\"");
    }
    [[noreturn]] void fail(const std::string& what) const
    {
        throw std::runtime_error(what + ": " + (m_db ? sqlite3_errmsg(m_db.get()) : "out of memory"));
    }

    SqliteHandle m_db;
    Statement m_insert;
};

} // namespace

void copyAccessTables(const std::filesystem::path& accessFile, const std::filesystem::path& sqliteFile)
{
    AccessReader reader(accessFile);
    SqliteWriter writer(sqliteFile);
    for (std::size_t table = 0; table < reader.tableNames().size(); ++table) {
        reader.openTable(table);
        writer.createTable(reader.tableNames()[table], reader.columns());
        while (reader.nextRow())
            writer.insert(reader.row());
    }
    writer.commit();
}

} // namespace qln::ado::detail
