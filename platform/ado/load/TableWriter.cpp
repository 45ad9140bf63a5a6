#include "TableWriter.h"

#include "quillon/SqlText.h"

#include <stdexcept>

namespace qln::ado::detail {

TableWriter::TableWriter(const std::filesystem::path& file)
{
    int rc = SQLITE_OK;
    m_db = openSqlite(file.c_str(), SQLITE_OPEN_READWRITE, rc);
    if (rc != SQLITE_OK)
        fail("cannot open '" + file.string() + "'");
    sqlite3_extended_result_codes(m_db.get(), 1);
    // The file only takes its place after a complete import, so no journal is needed.
    exec("PRAGMA journal_mode=OFF");
    exec("PRAGMA synchronous=OFF");
    exec("BEGIN");
}

void TableWriter::createTable(const std::string& name, const std::vector<LoadColumn>& columns)
{
    std::string create = "CREATE TABLE " + quoteIdentifier(name) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i)
        create += (i ? ", " : "") + quoteIdentifier(columns[i].name) + " " + columns[i].declaredType;
    exec(create + ")");
    chooseTable(name, columns.size());
}

void TableWriter::chooseTable(const std::string& name, std::size_t columns)
{
    std::string insert = "INSERT INTO " + quoteIdentifier(name) + " VALUES (";
    for (std::size_t i = 0; i < columns; ++i)
        insert += i ? ",?" : "?";
    m_insert.reset();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_db.get(), (insert + ")").c_str(), -1, &raw, nullptr) != SQLITE_OK)
        fail("cannot prepare the rows of table '" + name + "'");
    m_insert.reset(raw);
}

void bindLoadValue(sqlite3_stmt* stmt, int index, const LoadValue& value)
{
    switch (value.kind) {
    case LoadValue::Kind::Null:
        sqlite3_bind_null(stmt, index);
        break;
    case LoadValue::Kind::Integer:
        sqlite3_bind_int64(stmt, index, value.integer);
        break;
    case LoadValue::Kind::Real:
        sqlite3_bind_double(stmt, index, value.real);
        break;
    case LoadValue::Kind::Text:
        sqlite3_bind_text64(stmt, index, value.bytes.data(), value.bytes.size(), SQLITE_STATIC, SQLITE_UTF8);
        break;
    case LoadValue::Kind::Blob:
        sqlite3_bind_blob64(stmt, index, value.bytes.data(), value.bytes.size(), SQLITE_STATIC);
        break;
    }
}

bool TableWriter::insert(const std::vector<LoadValue>& row)
{
    sqlite3_stmt* stmt = m_insert.get();
    sqlite3_reset(stmt);
    for (std::size_t i = 0; i < row.size(); ++i)
        bindLoadValue(stmt, static_cast<int>(i) + 1, row[i]);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE)
        return true;
    if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) {
        sqlite3_reset(stmt);
        return false;
    }
    fail("cannot store a row");
}

void TableWriter::commit(int userVersion)
{
    m_insert.reset();
    exec("PRAGMA user_version=" + std::to_string(userVersion));
    exec("COMMIT");
    if (sqlite3_close(m_db.release()) != SQLITE_OK)
        throw std::runtime_error("cannot close the SQLite file");
}

void TableWriter::exec(const std::string& sql)
{
    if (sqlite3_exec(m_db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("cannot run \"" + sql + "\"");
}

void TableWriter::fail(const std::string& what) const
{
    throw std::runtime_error(what + ": " + (m_db ? sqlite3_errmsg(m_db.get()) : "out of memory"));
}

} // namespace qln::ado::detail
