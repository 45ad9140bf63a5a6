#pragma once

#include "quillon/ado/Recordset.h"
#include "quillon/ado/Types.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qln::ado {

namespace detail {
class Database;
}

// The key=value pairs of an ODBC connection string; keys in upper case, braces removed.
std::map<std::string, std::string> parseConnectionString(std::string_view text);

// A value in the ODBC braced form, "}" doubled, so that any text (a path holding ";", "{",
// "}", "=", quotes or blanks) reads back exactly: quoteConnectionValue("a;b}") is "{a;b}}}".
std::string quoteConnectionValue(std::string_view value);

// A connection to one database file named by an ODBC connection string: "DSN=name;" (a
// data source), "DBQ=path;" (a file, relative to DefaultDir= when given); "Provider=
// MSDataShape;" accepts SHAPE commands. Access files are read through an SQLite mirror,
// which is always opened read-only; "Mode=Read;" or setMode(adModeRead) opens any file so.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Connection(Connection&&) noexcept = default;
    Connection& operator=(Connection&&) noexcept = default;

    void setConnectionString(std::string text);
    const std::string& connectionString() const { return m_connectionString; }
    void setCursorLocation(int location) { m_cursorLocation = location; }
    int cursorLocation() const { return m_cursorLocation; }
    // Set before open(); adModeRead refuses every write through this connection.
    void setMode(int mode) { m_mode = mode; }
    int mode() const { return m_mode; }
    // Whether the open database takes no writes (asked for, or the file allows none).
    bool isReadOnly() const;

    // How long a statement waits when another program has the SQLite file locked: by
    // default five seconds. With a wait set (before open()), it is asked each time the
    // lock is met (attempt 0, 1, ...): true to try again after about 50 ms, false to give
    // up with the "database is locked" error. It runs on the thread of the statement.
    using LockWait = std::function<bool(int attempt)>;
    void setLockWait(LockWait wait) { m_lockWait = std::move(wait); }

    // Opens the database; user and password must be empty (files carry no accounts).
    void open(std::string_view user = {}, std::string_view password = {});
    bool isOpen() const;
    void close();

    // Runs a statement; a query returns its rows, anything else a closed record set.
    Recordset execute(std::string_view sql);

    bool isShapeProvider() const { return m_shape; }
    // The SQLite file behind the connection (the mirror for an Access file).
    const std::filesystem::path& databasePath() const { return m_path; }

    // The user tables and the columns of one table (empty when it has no such table).
    std::vector<std::string> tableNames() const;
    std::vector<FieldInfo> columns(std::string_view table) const;

    void beginTrans();
    void commitTrans();
    void rollbackTrans();

private:
    friend class Recordset;
    std::shared_ptr<detail::Database> database() const;

    std::string m_connectionString;
    int m_cursorLocation = adUseServer;
    int m_mode = adModeUnknown;
    bool m_shape = false;
    std::filesystem::path m_path;
    LockWait m_lockWait;
    std::shared_ptr<detail::Database> m_database;
};

} // namespace qln::ado
