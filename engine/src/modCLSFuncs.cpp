#include "modCLSFuncs.h"

#include "rsFunctions.h"
#include "quillon/Error.h"
#include "quillon/engine/clsQuillon.h"

namespace qln::engine {

ado::Recordset sGetDisconnectedRS(const std::string& connectString, const std::string& iSQL)
{
    int line = 1;
    try {
        ado::Connection connection;
        adoOpenDatabase(connection, connectString, ado::adUseClient);
        line = 2;
        ado::Recordset rows;
        adoOpenRecordset(connection, rows, iSQL, ado::adLockOptimistic);
        line = 3;
        rows.disconnect();
        ado::Recordset result = rows.clone();
        adoCloseRecordset(rows);
        adoCloseDatabase(connection);
        return result;
    } catch (...) {
        rethrowWithTrail("sGetDisconnectedRS", line);
    }
}

ado::Recordset sGetMainQLNRS(const std::string& iSQL)
{
    try {
        return sGetDisconnectedRS(std::string("DSN=") + kRulesDataSource, iSQL);
    } catch (...) {
        rethrowWithTrail("sGetMainQLNRS", 1);
    }
}

} // namespace qln::engine
