#pragma once

#include "quillon/ado/Recordset.h"

#include <string>

namespace qln::engine {

// Runs a query on the rules database through its data source and returns the rows
// disconnected.
ado::Recordset sGetMainQLNRS(const std::string& iSQL);

// Runs a query on a database named by a connection string and returns the rows
// disconnected; the connection is closed again.
ado::Recordset sGetDisconnectedRS(const std::string& connectString, const std::string& iSQL);

} // namespace qln::engine
