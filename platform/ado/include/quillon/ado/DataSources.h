#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qln::ado {

// Defines a data source for this process only; it hides a registry entry of that name.
void defineDataSource(std::string name, std::filesystem::path database);
// The database file of a data source: this process's definitions first, then the
// registry key HKEY_LOCAL_MACHINE\Software\ODBC\ODBC.INI\<name>, value "Database".
std::optional<std::filesystem::path> findDataSource(std::string_view name);
// Every text value of a data source's registry key, names in upper case ("DRIVER",
// "SERVER", "DATABASE", ...); empty when there is no such data source.
std::map<std::string, std::string> dataSourceValues(std::string_view name);
// Every defined name: this process's and those listed under ODBC.INI\ODBC Data Sources.
std::vector<std::string> dataSourceNames();

} // namespace qln::ado
