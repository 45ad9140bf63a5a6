#pragma once

#include <string>
#include <string_view>

namespace qln::ado {

// True when the text is a server address: "postgresql://..." or "postgres://...".
bool isServerAddress(std::string_view text);

// The ODBC form of a server address, as the engine passes connection strings around:
//   postgresql://[user@][host][:port][/database][?host=&port=&user=&dbname=&schema=]
// gives "Driver={PostgreSQL};Server=host;Port=port;Database=database;Uid=user;Schema=s;"
// (parts percent-decoded; a socket folder may stand as host=/path). A password in the
// address is refused: it would show in process lists and messages; PGPASSWORD or
// ~/.pgpass give it instead. Errors are EngineErrors that quote no password.
std::string serverConnectString(std::string_view address);

} // namespace qln::ado
