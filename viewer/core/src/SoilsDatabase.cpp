#include "quillon/viewer/SoilsDatabase.h"

#include "quillon/ado/AccessImport.h"
#include "quillon/ado/Types.h"

#include <system_error>

namespace qln::viewer {

namespace fs = std::filesystem;

bool isSoilsFile(const fs::path& file) noexcept
{
    try {
        std::error_code error;
        if (!fs::is_regular_file(file, error)) return false;
        return ado::detectFileKind(file) != ado::FileKind::Unknown;
    } catch (...) {
        return false;
    }
}

namespace {

std::string connectionValue(const std::string& value)
{
    return value.find_first_of(";{}=") == std::string::npos ? value : ado::quoteConnectionValue(value);
}

std::string joinPath(const std::string& folder, const std::string& fileName)
{
    if (folder.empty() || folder.back() == '/') return folder + fileName;
    return folder + "/" + fileName;
}

} // namespace

SoilsConnectStrings soilsConnectStrings(const std::string& folder, const std::string& fileName)
{
    const std::string location =
        "DefaultDir=" + connectionValue(folder) + ";DBQ=" + connectionValue(joinPath(folder, fileName));
    return {std::string("Provider=MSDASQL.1;") + kAccessDriverOptions + location, kAccessDriverOptions + location,
            std::string("Provider=MSDataShape;") + kAccessDriverOptions + location};
}

ado::Recordset columnCatalogue(const ado::Connection& connection)
{
    ado::Recordset catalogue;
    catalogue.appendField("TABLE_NAME", ado::adVarChar, 128);
    catalogue.appendField("COLUMN_NAME", ado::adVarChar, 128);
    catalogue.open();
    for (const std::string& table : connection.tableNames()) {
        for (const ado::FieldInfo& column : connection.columns(table)) {
            catalogue.addNew();
            catalogue.setValue("TABLE_NAME", table);
            catalogue.setValue("COLUMN_NAME", column.name);
            catalogue.update();
        }
    }
    return catalogue;
}

std::string missingKeyColumn(ado::Recordset& catalogue)
{
    std::string missing;
    for (const KeyColumn& key : kKorvalKeyColumns) {
        catalogue.setFilter(std::string("TABLE_NAME='") + key.table + "' AND COLUMN_NAME='" + key.column + "'");
        if (catalogue.recordCount() < 1) {
            missing = std::string(key.table) + "." + key.column;
            break;
        }
    }
    catalogue.setFilter("");
    return missing;
}

LayoutCheck checkSoilsLayout(const std::string& folder, const std::string& fileName)
{
    const fs::path file = joinPath(folder, fileName);
    // Opening anything else could create an empty database under the chosen name.
    if (!isSoilsFile(file)) return {false, file.string() + " is neither an Access nor an SQLite database."};
    try {
        ado::Connection connection;
        connection.setConnectionString(soilsConnectStrings(folder, fileName).bridge);
        connection.setMode(ado::adModeRead);
        connection.open();
        ado::Recordset catalogue = columnCatalogue(connection);
        const std::string missing = missingKeyColumn(catalogue);
        connection.close();
        if (!missing.empty()) return {false, file.string() + " has no column " + missing + "."};
        return {true, {}};
    } catch (const std::exception& error) {
        return {false, file.string() + " cannot be opened: " + error.what()};
    }
}

} // namespace qln::viewer
