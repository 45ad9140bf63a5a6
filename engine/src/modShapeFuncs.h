#pragma once

#include "quillon/Variant.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/QueryCopies.h"
#include "quillon/ado/Recordset.h"

#include <map>
#include <string>
#include <vector>

namespace qln::engine {

class clsQuillon;

// The run's SHAPE command, or "" when the attribute names no column; `childRestriction` as in
// ShapePieces.
std::string SetAdoTelvaRS(clsQuillon& engine, ado::Connection& soils, const ado::Recordset& attr,
                          const ado::Recordset& userData, ado::Recordset& rsMapunits,
                          const std::string& childRestriction = {});

// The pieces of the run's conditions and columns, computed before the command is built.
struct ShapePieces {
    std::string mapunitCondition;
    std::string optionCondition;
    std::string optionColumns;
    std::string percentCondition;
    std::string depthCondition;
    std::string monthCondition;
    std::string domainColumns;
    std::string domainTables;
    std::string domainCondition;
    std::string multiplierColumns;
    // When not empty, every level below mapunit keeps only the rows that belong to the map
    // units meeting this condition, so that a run can read its soils a batch at a time.
    std::string childRestriction;
    // Levels read from copies of their rows (attached as ado::QueryCopies::kSchema) instead
    // of their tables; the copies hold the rows the level's own query gives, in its order.
    std::map<std::string, ado::QueryCopies::Copy> copies;
};

// One level of a SHAPE command as built: its table, its query and the column relating it to
// its parent level.
struct ShapeLevel {
    std::string table;
    std::string sql;
    std::string relateColumn;
};

// The conditions and columns of a run's SHAPE command except the map units' own; errors
// carry the trail of SetAdoTelvaRS, whose part this is.
ShapePieces GetShapePieces(clsQuillon& engine, const ado::Recordset& attr, const ado::Recordset& userData);

// Walks the soils relationship metadata from the attribute's table up to legend, one
// SHAPE level per table, putting each condition at its level.
// `levels`, when given, receives each level below legend, from the attribute's table up, with
// its query as built from its table (before any copy replaces it).
std::string GetMainInformation(ado::Connection& soils, const ShapePieces& pieces, const ado::Recordset& attr,
                               std::vector<ShapeLevel>* levels = nullptr);

// Type and width of the attribute column at its table's level of the SHAPE result:
// adVariant (size untouched) when the column is not there.
void GetDataTypeSize(const ado::Recordset& shape, const std::string& table, const std::string& column, int& type,
                     long& definedSize);

// Steps into the first chapter field ("cmd..."); returns its name, or "" when none.
std::string GetChildRS(ado::Recordset& recordset);

// Key and value of the current record at the lowest level below it (Null when missing).
void GetMaxValues(const ado::Recordset& recordset, const std::string& keyColumn, Variant& key,
                  const std::string& valueColumn, Variant& value);

// Whether a field of that exact name exists at this level or any chapter level below.
bool FindColumn(const ado::Recordset& recordset, const std::string& name);

// Index of the field of exactly that name, or -1.
int exactFieldIndex(const ado::Recordset& recordset, const std::string& name);

} // namespace qln::engine
