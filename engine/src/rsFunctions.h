#pragma once

#include "quillon/ado/Connection.h"
#include "quillon/ado/Recordset.h"

#include <cstdint>
#include <string>

namespace qln::engine {

// Opens a new read-only connection (client cursors, no user or password). Errors carry
// "; Connection: " and the connection string.
int adoOpenDatabase(ado::Connection& connection, const std::string& connectString, int cursorLocation);
// Opens a query on the connection. Errors carry "; SQL Query: " and the query.
int adoOpenRecordset(ado::Connection& connection, ado::Recordset& recordset, const std::string& sql, int lockType);
// Close, ignoring errors.
int adoCloseRecordset(ado::Recordset& recordset);
int adoCloseDatabase(ado::Connection& connection);

// A clone of the record set showing the rows whose field equals the value, and their count.
ado::Recordset FilterField(const ado::Recordset& recordset, const std::string& field, const std::string& value,
                           long& count);

[[noreturn]] void RaiseError(std::int64_t number, const std::string& source, const std::string& description);

} // namespace qln::engine
