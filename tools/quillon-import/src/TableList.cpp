#include "TableList.h"

#include "quillon/SqlText.h"
#include "quillon/ado/Connection.h"

namespace qln::tools {

std::vector<TableCount> listTables(const std::filesystem::path& sqliteFile)
{
    ado::Connection connection;
    connection.setConnectionString("DBQ=" + ado::quoteConnectionValue(sqliteFile.string()) + ";");
    connection.open();
    std::vector<TableCount> tables;
    for (const std::string& name : connection.tableNames()) {
        auto count = connection.execute("SELECT count(*) AS n FROM " + quoteIdentifier(name));
        tables.push_back({name, count.value("n").integer()});
    }
    return tables;
}

} // namespace qln::tools
