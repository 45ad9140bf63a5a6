#include "SqliteWriter.h"

#include <sqlite3.h>

#include <stdexcept>

namespace qln::sample {

Database::Database(const std::string& path) : m_path(path)
{
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        throw std::runtime_error("cannot create " + path + ": " + message);
    }
}

Database::~Database() { close(); }

void Database::close()
{
    if (m_db) {
        // close_v2 frees the connection even when a statement outlives it.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void Database::exec(const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error(m_path + ": " + message + " in: " + sql.substr(0, 200));
    }
}

Inserter::Inserter(Database& db, const std::string& table, const std::vector<std::string>& columns)
    : m_db(db), m_table(table), m_count(static_cast<int>(columns.size()))
{
    std::string names;
    std::string marks;
    for (const auto& c : columns) {
        names += (names.empty() ? "" : ",") + ("\"" + c + "\"");
        marks += marks.empty() ? "?" : ",?";
    }
    const std::string sql = "INSERT INTO \"" + table + "\" (" + names + ") VALUES (" + marks + ")";
    if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(db.path() + ": " + sqlite3_errmsg(db.handle()) + " in: " + sql);
}

Inserter::~Inserter() { sqlite3_finalize(m_stmt); }

void Inserter::check(int rc)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        throw std::runtime_error(m_db.path() + ": table " + m_table + ": "
                                 + sqlite3_errmsg(m_db.handle()));
}

int Inserter::nextIndex()
{
    if (m_bound >= m_count)
        throw std::logic_error("too many values for table " + m_table);
    return ++m_bound;
}

Inserter& Inserter::null()
{
    check(sqlite3_bind_null(m_stmt, nextIndex()));
    return *this;
}

Inserter& Inserter::integer(std::int64_t value)
{
    check(sqlite3_bind_int64(m_stmt, nextIndex(), value));
    return *this;
}

Inserter& Inserter::integer(std::optional<int> value)
{
    return value ? integer(std::int64_t{*value}) : null();
}

Inserter& Inserter::real(double value)
{
    check(sqlite3_bind_double(m_stmt, nextIndex(), value));
    return *this;
}

Inserter& Inserter::real(std::optional<double> value) { return value ? real(*value) : null(); }

Inserter& Inserter::text(std::string_view value)
{
    check(sqlite3_bind_text(m_stmt, nextIndex(), value.data(), static_cast<int>(value.size()),
                            SQLITE_TRANSIENT));
    return *this;
}

Inserter& Inserter::text(const std::optional<std::string>& value)
{
    return value ? text(std::string_view(*value)) : null();
}

void Inserter::done()
{
    if (m_bound != m_count)
        throw std::logic_error("table " + m_table + " takes " + std::to_string(m_count)
                               + " values, " + std::to_string(m_bound) + " given");
    check(sqlite3_step(m_stmt));
    check(sqlite3_reset(m_stmt));
    m_bound = 0;
}

} // namespace qln::sample
