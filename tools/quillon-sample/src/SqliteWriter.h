#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace qln::sample {

// A database file opened for writing; every failure throws std::runtime_error naming the
// file and the statement.
class Database {
public:
    explicit Database(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const std::string& sql);
    sqlite3* handle() const { return m_db; }
    const std::string& path() const { return m_path; }
    // Closes the file; further use is an error. The destructor closes it too.
    void close();

private:
    sqlite3* m_db = nullptr;
    std::string m_path;
};

// Inserts rows into one table through one prepared statement. Values are bound in the
// order of the column list given; a missing optional value is stored as Null.
class Inserter {
public:
    Inserter(Database& db, const std::string& table, const std::vector<std::string>& columns);
    ~Inserter();
    Inserter(const Inserter&) = delete;
    Inserter& operator=(const Inserter&) = delete;

    Inserter& null();
    Inserter& integer(std::int64_t value);
    Inserter& integer(std::optional<int> value);
    Inserter& real(double value);
    Inserter& real(std::optional<double> value);
    Inserter& text(std::string_view value);
    Inserter& text(const std::string& value) { return text(std::string_view(value)); }
    Inserter& text(const char* value) { return text(std::string_view(value)); }
    Inserter& text(const std::optional<std::string>& value);
    Inserter& flag(bool value) { return integer(std::int64_t{value ? 1 : 0}); }
    // Stores the row; throws when the number of bound values is not the column count.
    void done();

private:
    void check(int rc);
    int nextIndex();

    Database& m_db;
    std::string m_table;
    sqlite3_stmt* m_stmt = nullptr;
    int m_count = 0;
    int m_bound = 0;
};

} // namespace qln::sample
