#pragma once

// A read-only view of an SQLite file for tests: rows come back as optional texts, so a Null
// stays distinct from an empty text.
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace qln::test {

using Cell = std::optional<std::string>;
using Rows = std::vector<std::vector<Cell>>;

class TestDb {
public:
    explicit TestDb(const std::filesystem::path& path)
    {
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(m_db);
            throw std::runtime_error("cannot open " + path.string());
        }
    }
    ~TestDb() { sqlite3_close(m_db); }
    TestDb(const TestDb&) = delete;
    TestDb& operator=(const TestDb&) = delete;

    // Runs sql; on failure returns false and puts SQLite's message into error.
    bool tryRows(const std::string& sql, Rows& out, std::string& error) const
    {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            error = sqlite3_errmsg(m_db);
            sqlite3_finalize(stmt);
            return false;
        }
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::vector<Cell> row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                if (sqlite3_column_type(stmt, i) == SQLITE_NULL)
                    row.emplace_back(std::nullopt);
                else
                    row.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)));
            }
            out.push_back(std::move(row));
        }
        if (rc != SQLITE_DONE)
            error = sqlite3_errmsg(m_db);
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE;
    }

    Rows rows(const std::string& sql) const
    {
        Rows out;
        std::string error;
        if (!tryRows(sql, out, error))
            throw std::runtime_error(error + " in: " + sql);
        return out;
    }

    // The first column of every row, Null as "<null>".
    std::vector<std::string> column(const std::string& sql) const
    {
        std::vector<std::string> out;
        for (const auto& r : rows(sql))
            out.push_back(r.at(0).value_or("<null>"));
        return out;
    }

    long long count(const std::string& sql) const { return std::stoll(rows(sql).at(0).at(0).value()); }

    std::vector<std::string> tables() const
    {
        return column("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name");
    }

    bool hasTable(const std::string& table) const
    {
        const auto t = tables();
        return std::find(t.begin(), t.end(), table) != t.end();
    }

    // (name, declared type) of every column of a table, in their stored order.
    std::vector<std::pair<std::string, std::string>> columns(const std::string& table) const
    {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& r : rows("PRAGMA table_info(\"" + table + "\")"))
            out.emplace_back(r.at(1).value(), r.at(2).value_or(""));
        return out;
    }

    bool hasColumn(const std::string& table, const std::string& column) const
    {
        for (const auto& [name, type] : columns(table))
            if (name == column)
                return true;
        return false;
    }

    // Every table's rows in rowid order, each value quoted with its storage class (text in
    // quotes, numbers bare, NULL), so equal content gives equal text whatever the file layout.
    std::string dump() const
    {
        std::string out;
        for (const auto& table : tables()) {
            std::string select;
            for (const auto& [name, type] : columns(table))
                select += (select.empty() ? "quote(\"" : " || '|' || quote(\"") + name + "\")";
            out += "== " + table + "\n";
            for (const auto& line : column("SELECT " + select + " FROM \"" + table + "\" ORDER BY rowid"))
                out += line + "\n";
        }
        return out;
    }

private:
    sqlite3* m_db = nullptr;
};

} // namespace qln::test
