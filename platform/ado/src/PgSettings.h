#pragma once

#include <map>
#include <optional>
#include <string>

namespace qln::ado::detail {

// Where a soils database on a PostgreSQL server lives. Empty parts take libpq's defaults
// (PGHOST, PGPORT, PGDATABASE, PGUSER); the password only ever comes from PGPASSWORD or
// the password file, so that it never shows in a connection string or a message.
struct ServerSettings {
    std::string server;  // host name, address or socket folder
    std::string port;
    std::string database;
    std::string user;
    std::string schema = "public";

    // "PostgreSQL server <server>, database <database>" with the defaults filled in, for
    // every message about this database.
    std::string describe() const;
};

// The server settings when the connection string names a PostgreSQL driver
// ("Driver={PostgreSQL Unicode}", ...) directly or through its data source; nothing for a
// database file. A password in the string or the data source is refused (the message
// never repeats it).
std::optional<ServerSettings> serverSettings(const std::map<std::string, std::string>& pairs);

} // namespace qln::ado::detail
