#pragma once

#include "quillon/ado/Connection.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace qln::ado {

// Whether the database answers the query by seeking: it walks no table whole and searches
// `table` by an index on `column`. A server database is taken to seek, as it plans each query
// by its own statistics; a query SQLite cannot plan is left to fail where it is run.
bool seeksBy(const Connection& connection, const std::string& sql, const std::string& table,
             const std::string& column);

// A temporary SQLite file holding copies of query results of one SQLite database (a file or
// an Access mirror), so that a query read in many parts is read once: each copy keeps the rows
// in the order the database returned them (as its row ids) and the columns' declared types,
// and is indexed on the columns asked. The file is removed with this object.
class QueryCopies {
public:
    // The schema name the copies take in a connection they are attached to.
    static constexpr const char* kSchema = "quillon_copies";

    // Nothing when the connection reads no SQLite file or no temporary file can be made.
    static std::unique_ptr<QueryCopies> create(const Connection& source);
    ~QueryCopies();
    QueryCopies(const QueryCopies&) = delete;
    QueryCopies& operator=(const QueryCopies&) = delete;

    struct Copy {
        std::string table;    // in this file
        std::string columns;  // the select list naming the query's columns: "a","b"
    };
    // Copies the query's rows. Nothing when a column has no declared type (its type would
    // come from the first row read), two columns share a name, an indexed column is not in
    // the result, or the query fails: the caller then reads the database itself.
    // `going` is called with the rows read every few thousand rows, so that a caller may show
    // them or end a long copy by
    // throwing from it.
    std::optional<Copy> copy(const std::string& sql, const std::vector<std::string>& indexed,
                             const std::function<void(long rows)>& going = {});

    const std::filesystem::path& path() const { return m_path; }
    // Makes the copies readable on the connection as kSchema.table; detach() undoes it.
    void attach(Connection& connection) const;
    static void detach(Connection& connection);

private:
    struct Closer {
        void operator()(sqlite3* handle) const;
    };
    QueryCopies(std::filesystem::path path, std::unique_ptr<sqlite3, Closer> handle);

    std::filesystem::path m_path;
    std::unique_ptr<sqlite3, Closer> m_handle;
    int m_copies = 0;
};

} // namespace qln::ado
