#include "quillon/ado/QueryCopies.h"

#include "SqliteHandles.h"
#include "quillon/SqlText.h"
#include "quillon/Text.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

namespace qln::ado {
namespace {


std::string quotedName(const std::string& name)
{
    std::string quoted = "\"";
    for (const char c : name)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// A file: URI opening the path read-only, every byte but the unreserved ones escaped.
std::string readOnlyUri(const std::filesystem::path& path)
{
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const unsigned char c : path.string()) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri + "?mode=ro";
}

bool run(sqlite3* handle, const std::string& sql)
{
    return sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// "SEARCH t USING ..." or, from older libraries, "SEARCH TABLE t USING ...": the table.
std::string planTable(std::string_view detail, std::string_view verb)
{
    detail.remove_prefix(verb.size());
    if (detail.rfind("TABLE ", 0) == 0)
        detail.remove_prefix(6);
    return std::string(detail.substr(0, detail.find(' ')));
}

} // namespace

bool seeksBy(const Connection& connection, const std::string& sql, const std::string& table,
             const std::string& column)
{
    if (connection.databasePath().empty())
        return true;
    int rc = SQLITE_OK;
    const detail::SqliteHandle handle = detail::openSqlite(connection.databasePath().c_str(), SQLITE_OPEN_READONLY, rc);
    if (rc != SQLITE_OK)
        return true;
    sqlite3* const raw = handle.get();
    sqlite3_stmt* plan = nullptr;
    const std::string explain = "EXPLAIN QUERY PLAN " + sql;
    if (sqlite3_prepare_v2(raw, explain.c_str(), -1, &plan, nullptr) != SQLITE_OK)
        return true;
    detail::Statement statement(plan);
    const std::string wanted = lowerAscii(table);
    // The index's first column is the one asked, for keys or a range of them.
    const std::string seek = "(" + lowerAscii(column);
    const auto seeksColumn = [&](const std::string& detail) {
        const std::size_t at = detail.find(seek);
        const std::size_t next = at + seek.size();
        return at != std::string::npos && next < detail.size() &&
               (detail[next] == '=' || detail[next] == '<' || detail[next] == '>');
    };
    while (sqlite3_step(plan) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(plan, 3));
        const std::string_view detail = text ? text : "";
        if (detail.rfind("SCAN ", 0) == 0 && detail != "SCAN CONSTANT ROW")
            return false;
        // An automatic index is built by walking the table, for every run of the query.
        if (detail.rfind("SEARCH ", 0) == 0 && lowerAscii(planTable(detail, "SEARCH ")) == wanted &&
            (!seeksColumn(lowerAscii(std::string(detail))) ||
             detail.find("AUTOMATIC") != std::string_view::npos))
            return false;
    }
    return true;
}

std::unique_ptr<QueryCopies> QueryCopies::create(const Connection& source)
{
    if (source.databasePath().empty())
        return nullptr;
    std::string name = (std::filesystem::temp_directory_path() / "quillon-copies-XXXXXX").string();
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return nullptr;
    close(fd);
    int rc = SQLITE_OK;
    std::unique_ptr<sqlite3, Closer> handle(detail::openSqlite(name.c_str(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, rc).release());
    if (rc != SQLITE_OK) {
        std::remove(name.c_str());
        return nullptr;
    }
    sqlite3* const raw = handle.get();
    std::unique_ptr<QueryCopies> copies(new QueryCopies(name, std::move(handle)));
    // The file is thrown away after the run: nothing is worth a journal or a sync.
    if (!run(raw, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-16000") ||
        !run(raw, "ATTACH DATABASE '" + escapeQuotes(readOnlyUri(source.databasePath())) + "' AS quillon_source"))
        return nullptr;
    return copies;
}

void QueryCopies::Closer::operator()(sqlite3* handle) const
{
    detail::SqliteCloser()(handle);
}

QueryCopies::QueryCopies(std::filesystem::path path, std::unique_ptr<sqlite3, Closer> handle)
    : m_path(std::move(path)), m_handle(std::move(handle))
{
}

QueryCopies::~QueryCopies()
{
    m_handle.reset();
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
}

std::optional<QueryCopies::Copy> QueryCopies::copy(const std::string& sql, const std::vector<std::string>& indexed,
                                                   const std::function<void(long rows)>& going)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_handle.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        return std::nullopt;
    detail::Statement select(raw);
    const int count = sqlite3_column_count(raw);
    if (count == 0)
        return std::nullopt;
    Copy copy{"quillon_copy_" + std::to_string(++m_copies), {}};
    std::string create = "CREATE TABLE " + copy.table + " (";
    std::string insert = "INSERT INTO " + copy.table + " VALUES (";
    std::set<std::string> names;
    for (int i = 0; i < count; ++i) {
        const char* declared = sqlite3_column_decltype(raw, i);
        const std::string name = sqlite3_column_name(raw, i);
        if (!declared || !names.insert(lowerAscii(name)).second)
            return std::nullopt;
        const std::string separator = i == 0 ? "" : ",";
        create += separator + quotedName(name) + " " + declared;
        insert += separator + "?";
        copy.columns += separator + quotedName(name);
    }
    for (const std::string& column : indexed) {
        if (!names.count(lowerAscii(column)))
            return std::nullopt;
    }
    if (!run(m_handle.get(), create + ")"))
        return std::nullopt;
    sqlite3_stmt* rawInsert = nullptr;
    if (sqlite3_prepare_v2(m_handle.get(), (insert + ")").c_str(), -1, &rawInsert, nullptr) != SQLITE_OK)
        return std::nullopt;
    detail::Statement insertRow(rawInsert);
    if (!run(m_handle.get(), "BEGIN"))
        return std::nullopt;
    int rc;
    for (std::size_t rows = 1; (rc = sqlite3_step(raw)) == SQLITE_ROW; ++rows) {
        if (going && rows % 4096 == 0)
            going(static_cast<long>(rows));
        for (int i = 0; i < count; ++i)
            sqlite3_bind_value(rawInsert, i + 1, sqlite3_column_value(raw, i));
        if (sqlite3_step(rawInsert) != SQLITE_DONE)
            break;
        sqlite3_reset(rawInsert);
    }
    const bool read = rc == SQLITE_DONE;
    sqlite3_reset(raw);
    if (!run(m_handle.get(), read ? "COMMIT" : "ROLLBACK") || !read)
        return std::nullopt;
    for (std::size_t i = 0; i < indexed.size(); ++i) {
        if (!run(m_handle.get(), "CREATE INDEX " + copy.table + "_" + std::to_string(i) + " ON " + copy.table + " (" +
                               quotedName(indexed[i]) + ")"))
            return std::nullopt;
    }
    return copy;
}

void QueryCopies::attach(Connection& connection) const
{
    connection.execute("ATTACH DATABASE '" + escapeQuotes(m_path.string()) + "' AS " + kSchema);
}

void QueryCopies::detach(Connection& connection)
{
    connection.execute(std::string("DETACH DATABASE ") + kSchema);
}

} // namespace qln::ado
