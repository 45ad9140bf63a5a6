#pragma once

// What makes a file a soils database the viewer can open: its content (an Access or an
// SQLite header), the connection strings built for it, and the four key columns of the
// KORVAL Version 2 layout looked up in its column catalogue.

#include "quillon/ado/Connection.h"
#include "quillon/ado/Recordset.h"

#include <array>
#include <filesystem>
#include <string>

namespace qln::viewer {

// The one rule for a soils file, shared by the survey-area list and the file dialog: a
// regular file whose header is an Access or an SQLite database, whatever its name. False
// for anything unreadable.
bool isSoilsFile(const std::filesystem::path& file) noexcept;

// The fixed prefixes of the three connection strings of the open soils database.
inline constexpr const char* kAccessDriverOptions =
    "Persist Security Info=False;Driver={Microsoft Access Driver (*.mdb)};DriverId=25;FIL=MS Access;"
    "ImplicitCommitSync=Yes;MaxBufferSize=512;MaxScanRows=8;PageTimeout=5;SafeTransactions=0;Threads=3;UID=admin;"
    "UserCommitSync=Yes;";

struct SoilsConnectStrings {
    std::string bridge;  // the viewer's own connection (through the OLE DB bridge)
    std::string plain;   // handed to the engine's runs
    std::string shape;   // accepts SHAPE commands
};

// The three connection strings for folder/fileName: prefix + "DefaultDir=" + folder + ";" +
// "DBQ=" + folder + "/" + fileName. A folder or name holding ";", "{", "}" or "=" goes in
// the braced form, so it cannot end the value early.
SoilsConnectStrings soilsConnectStrings(const std::string& folder, const std::string& fileName);

// A table's column that the layout must have.
struct KeyColumn {
    const char* table;
    const char* column;
};

// Checked in this order; the first absent one decides.
inline constexpr std::array<KeyColumn, 4> kKorvalKeyColumns = {{
    {"mapunit", "mukey"},
    {"mdstatdomdet", "domainname"},
    {"mdstatdommas", "domainname"},
    {"legend", "lkey"},
}};

// The column catalogue of the database: one row per column of every user table, with the
// fields TABLE_NAME and COLUMN_NAME.
ado::Recordset columnCatalogue(const ado::Connection& connection);

// "table.column" of the first key column the catalogue lacks, filtering it in turn with
// "TABLE_NAME='t' AND COLUMN_NAME='c'"; "" when it has all four. Leaves the filter off.
std::string missingKeyColumn(ado::Recordset& catalogue);

// Whether folder/fileName is a soils database of the KORVAL Version 2 layout; when not,
// reason says why in words that name the file. Opens the file read-only and never creates
// or changes it.
struct LayoutCheck {
    bool valid = false;
    std::string reason;
};
LayoutCheck checkSoilsLayout(const std::string& folder, const std::string& fileName);

} // namespace qln::viewer
