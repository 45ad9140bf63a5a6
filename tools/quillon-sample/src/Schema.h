#pragma once

#include <string>
#include <vector>

namespace qln::sample {

class Database;

struct ColumnDef {
    std::string name;
    std::string type;   // declared type: TEXT, VARCHAR(n), INTEGER, SINGLE, DOUBLE, BOOLEAN, DATETIME
};

struct TableDef {
    std::string name;
    std::vector<ColumnDef> columns;   // in the stored order of the soils layout
    std::vector<std::string> indexed; // key columns that joins and filters use

    std::vector<std::string> columnNames() const;
};

// The tables of a generated soils database, each with the subset of its real columns
// that the generator fills.
const std::vector<TableDef>& soilsTables();
const TableDef& soilsTable(const std::string& name);

void createTables(Database& db);
// Indexes are built after loading, which is several times faster than keeping them current.
void createIndexes(Database& db);

} // namespace qln::sample
