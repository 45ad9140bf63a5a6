#include "rsFunctions.h"

#include "quillon/Error.h"
#include "quillon/engine/clsQuillon.h"
#include "quillon/SqlText.h"

namespace qln::engine {

int adoOpenDatabase(ado::Connection& connection, const std::string& connectString, int cursorLocation)
{
    int line = 1;
    try {
        connection.close();
        connection.setConnectionString(connectString);
        connection.setCursorLocation(cursorLocation);
        // The engine only reads the rules and soils databases.
        connection.setMode(ado::adModeRead);
        line = 2;
        connection.open();
        return 1;
    } catch (EngineError& error) {
        error.appendDescription("; Connection: " + connectString);
        rethrowWithTrail("adoOpenDatabase", line);
    } catch (...) {
        rethrowWithTrail("adoOpenDatabase", line);
    }
}

int adoOpenRecordset(ado::Connection& connection, ado::Recordset& recordset, const std::string& sql, int lockType)
{
    try {
        recordset = ado::Recordset();
        recordset.open(sql, connection, ado::adOpenStatic, lockType);
        return 1;
    } catch (EngineError& error) {
        // A run stopped while the query read is no fault of the query.
        if (error.number() != qlnErrCancelled)
            error.appendDescription("; SQL Query: " + sql);
        rethrowWithTrail("adoOpenRecordset", 1);
    } catch (...) {
        rethrowWithTrail("adoOpenRecordset", 1);
    }
}

int adoCloseRecordset(ado::Recordset& recordset)
{
    recordset.close();
    return 1;
}

int adoCloseDatabase(ado::Connection& connection)
{
    connection.close();
    return 1;
}

ado::Recordset FilterField(const ado::Recordset& recordset, const std::string& field, const std::string& value,
                           long& count)
{
    try {
        ado::Recordset clone = recordset.clone();
        clone.setFilter(field + " = '" + escapeQuotes(value) + "'");
        count = clone.bof() ? 0 : clone.recordCount();
        return clone;
    } catch (...) {
        rethrowWithTrail("FilterField", 1);
    }
}

void RaiseError(std::int64_t number, const std::string& source, const std::string& description)
{
    throw EngineError(number, source, description);
}

} // namespace qln::engine
