#include "modShapeFuncs.h"

#include "FieldValues.h"
#include "modGetWhere.h"
#include "rsFunctions.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"

#include <map>
#include <optional>
#include <vector>

namespace qln::engine {
namespace {

constexpr const char* kLegendQuery =
    "SELECT legend.lkey,legend.areasymbol,legend.areaname,"
    "distlegendmd.ssastatus,distlegendmd.cordate,distgendate"
    " FROM legend,distlegendmd,distmd"
    " WHERE distlegendmd.lkey=legend.lkey"
    "   AND distlegendmd.distmdkey=distmd.distmdkey";

// Adds a condition to a WHERE text, starting it when empty.
void addCondition(std::string& where, const std::string& condition)
{
    if (where.empty())
        where = " WHERE " + condition;
    else
        where += " AND " + condition;
}

// For each level below mapunit on the way from the attribute's table up, the condition that
// keeps its rows to those of the map units meeting `mapunitCondition`: its relation column
// within the parent's keys, the parent kept the same way. `rel` is filtered on rtabphyname.
std::map<std::string, std::string> levelRestrictions(ado::Recordset rel, const std::string& table,
                                                     const std::string& mapunitCondition,
                                                     const std::map<std::string, ado::QueryCopies::Copy>& copies)
{
    struct Link {
        std::string table, column, parent, parentColumn;
    };
    std::vector<Link> links;
    std::string current = table;
    rel.setFilter("rtabphyname='" + escapeQuotes(current) + "'");
    while (current != "legend" && current != "mapunit" && rel.recordCount() > 0) {
        links.push_back({current, textField(rel, "rtabcolphyname"), textField(rel, "ltabphyname"),
                         textField(rel, "ltabcolphyname")});
        current = links.back().parent;
        rel.setFilter("rtabphyname='" + escapeQuotes(current) + "'");
    }
    std::map<std::string, std::string> restrictions;
    if (current != "mapunit")
        return restrictions;
    std::string parentCondition = mapunitCondition;
    for (auto link = links.rbegin(); link != links.rend(); ++link) {
        const auto copy = copies.find(link->parent);
        const std::string from = copy == copies.end() ? link->parent
                                                      : std::string(ado::QueryCopies::kSchema) + "." +
                                                            copy->second.table + " AS " + link->parent;
        std::string condition = link->table + "." + link->column + " IN (SELECT " + link->parent + "." +
                                link->parentColumn + " FROM " + from + " WHERE " + parentCondition + ")";
        parentCondition = condition;
        restrictions.emplace(link->table, std::move(condition));
    }
    return restrictions;
}

} // namespace

std::string SetAdoTelvaRS(clsQuillon& engine, ado::Connection& soils, const ado::Recordset& attr,
                          const ado::Recordset& userData, ado::Recordset& rsMapunits,
                          const std::string& childRestriction)
{
    std::string mapunitCondition;
    try {
        if (attr.value("AttrColText").isNull())
            return {};
        mapunitCondition = GetMapunitKeyList(rsMapunits);
    } catch (...) {
        rethrowWithTrail("SetAdoTelvaRS", 1);
    }
    // The pieces carry this procedure's trail themselves.
    ShapePieces pieces = GetShapePieces(engine, attr, userData);
    pieces.mapunitCondition = std::move(mapunitCondition);
    pieces.childRestriction = childRestriction;
    try {
        return GetMainInformation(soils, pieces, attr);
    } catch (...) {
        rethrowWithTrail("SetAdoTelvaRS", 5);
    }
}

ShapePieces GetShapePieces(clsQuillon& engine, const ado::Recordset& attr, const ado::Recordset& userData)
{
    int line = 2;
    try {
        ShapePieces pieces;
        GetOptionListWhere(engine, attr, userData, pieces.optionCondition, pieces.optionColumns);
        line = 3;
        pieces.percentCondition = GetIgnorePctWhere(userData);
        pieces.depthCondition = GetSoilLayersInformation(attr, userData);
        pieces.monthCondition = GetMonthsInformation(attr, userData);
        line = 4;
        GetDomainInformation(pieces.domainColumns, pieces.domainTables, pieces.domainCondition, attr);
        pieces.multiplierColumns = GetMultipliers(attr);
        return pieces;
    } catch (...) {
        rethrowWithTrail("SetAdoTelvaRS", line);
    }
}

std::string GetMainInformation(ado::Connection& soils, const ShapePieces& pieces, const ado::Recordset& attr,
                               std::vector<ShapeLevel>* levels)
{
    int line = 1;
    try {
        const std::string telvaTable = textField(attr, "TelvaTable");
        const std::string attrColumn = textField(attr, "AttrColText");
        const std::string tieBreakColumn = textField(attr, "TieBreakColText");
        const std::string sqlWhere = textField(attr, "SQLWhere");

        ado::Recordset rel;
        adoOpenRecordset(soils, rel, "Select * FROM mdstatrshipdet", ado::adLockOptimistic);
        line = 2;
        std::string current = telvaTable;
        rel.setFilter("ltabphyname='" + escapeQuotes(current) + "'");
        std::string ownKey = rel.recordCount() > 0 ? textField(rel, "rtabcolphyname") : std::string();
        rel.setFilter("rtabphyname='" + escapeQuotes(current) + "'");
        std::string command;
        const std::map<std::string, std::string> restrictions =
            pieces.childRestriction.empty() ? std::map<std::string, std::string>{}
                                            : levelRestrictions(rel.clone(), current, pieces.childRestriction, pieces.copies);

        line = 3;
        if (current == "legend") {
            command = "SELECT lkey FROM legend";
        } else {
            while (current != "legend" && rel.recordCount() > 0) {
                line = 4;
                const std::string childColumn = textField(rel, "rtabcolphyname");
                const std::string parentColumn = textField(rel, "ltabcolphyname");
                std::string columns = ownKey.empty() ? childColumn : childColumn + "," + ownKey;
                std::string where;
                std::string order;
                std::string tables;
                if (current == "mapunit") {
                    columns += ",musym,muname";
                    if (!pieces.mapunitCondition.empty())
                        where = " WHERE " + pieces.mapunitCondition;
                } else if (current == "component") {
                    columns += ",comppct_r";
                    if (!pieces.percentCondition.empty())
                        where = " WHERE " + pieces.percentCondition;
                    order = " ORDER BY comppct_r DESC";
                } else if (current == "chorizon") {
                    columns += ",hzdept_r,hzdepb_r";
                    if (!pieces.depthCondition.empty())
                        where = " WHERE " + pieces.depthCondition;
                } else if (current == "comonth") {
                    columns += ",month,monthseq";
                    if (!pieces.monthCondition.empty())
                        where = " WHERE " + pieces.monthCondition;
                }

                line = 5;
                if (current == telvaTable) {
                    if (!pieces.optionCondition.empty()) {
                        addCondition(where, pieces.optionCondition);
                        columns += "," + pieces.optionColumns;
                    }
                    if (!pieces.domainTables.empty()) {
                        addCondition(where, pieces.domainCondition);
                        columns = columns.empty() ? pieces.domainColumns : columns + ", " + pieces.domainColumns;
                        tables = "," + pieces.domainTables;
                    }
                    if (!sqlWhere.empty())
                        addCondition(where, sqlWhere);
                    columns = columns.empty() ? tieBreakColumn : columns + "," + tieBreakColumn;
                    if (!pieces.multiplierColumns.empty())
                        columns += "," + pieces.multiplierColumns;
                    if (tieBreakColumn != attrColumn)
                        columns += ", " + attrColumn;
                }
                const auto restriction = restrictions.find(current);
                std::string kept;  // the rows of a batch: its map units, or the level's restriction
                if (current == "mapunit")
                    kept = pieces.mapunitCondition;
                else if (restriction != restrictions.end())
                    kept = restriction->second;
                if (restriction != restrictions.end())
                    where = where.empty() ? " WHERE " + restriction->second
                                          : " WHERE (" + where.substr(7) + ") AND " + restriction->second;

                line = 6;
                const std::string alias = "cmd" + current;
                std::string sql = "SELECT " + columns + " FROM " + current + tables + where + order;
                if (levels)
                    levels->push_back({current, sql, childColumn});
                if (const auto copy = pieces.copies.find(current); copy != pieces.copies.end()) {
                    // The copy holds the rows of the level's own conditions in their order.
                    sql = "SELECT " + copy->second.columns + " FROM " + ado::QueryCopies::kSchema + "." +
                          copy->second.table + " AS " + current + (kept.empty() ? "" : " WHERE " + kept) +
                          " ORDER BY " + current + "._rowid_";
                }
                ownKey = childColumn;
                const std::string relate = " RELATE '" + childColumn + "' TO '" + parentColumn + "') AS " + alias;
                if (command.empty())
                    command = "({" + sql + "} AS " + alias + relate;
                else
                    command = "((SHAPE {" + sql + "} AS " + alias + " APPEND " + command + ") AS " + alias + relate;
                current = textField(rel, "ltabphyname");
                rel.setFilter("rtabphyname='" + escapeQuotes(current) + "'");
            }
        }

        line = 7;
        if (!command.empty() && command.front() == '(')
            command = "SHAPE {" + std::string(kLegendQuery) + "} AS cmd" + current + " APPEND " + command;
        adoCloseRecordset(rel);
        return command;
    } catch (...) {
        rethrowWithTrail("GetMainInformation", line);
    }
}

int exactFieldIndex(const ado::Recordset& recordset, const std::string& name)
{
    const int count = recordset.fieldCount();
    for (int i = 0; i < count; ++i) {
        if (recordset.field(i).name == name)
            return i;
    }
    return -1;
}

namespace {

// The first chapter field whose name begins with "cmd", or -1.
int childLevelField(const ado::Recordset& recordset)
{
    const int count = recordset.fieldCount();
    for (int i = 0; i < count; ++i) {
        const ado::FieldInfo& field = recordset.field(i);
        if (field.type == ado::adChapter && field.name.rfind("cmd", 0) == 0)
            return i;
    }
    return -1;
}

} // namespace

std::string GetChildRS(ado::Recordset& recordset)
{
    const int index = childLevelField(recordset);
    if (index < 0)
        return {};
    std::string name = recordset.field(index).name;
    ado::Recordset child = recordset.chapter(index);
    recordset = std::move(child);
    return name;
}

void GetDataTypeSize(const ado::Recordset& shape, const std::string& table, const std::string& column, int& type,
                     long& definedSize)
{
    try {
        ado::Recordset level = shape.clone(true);
        level.disconnect();
        const std::string wanted = "cmd" + table;
        for (std::string entered = GetChildRS(level); !entered.empty() && entered != wanted;)
            entered = GetChildRS(level);
        if (level.fieldCount() == 0) {
            type = ado::adVariant;
            return;
        }
        int index = exactFieldIndex(level, column);
        if (index < 0)
            index = level.fieldCount() - 1;
        const ado::FieldInfo& field = level.field(index);
        if (field.name != column) {
            type = ado::adVariant;
            return;
        }
        type = field.type;
        definedSize = field.definedSize;
    } catch (...) {
        rethrowWithTrail("GetDataTypeSize", 1);
    }
}

void GetMaxValues(const ado::Recordset& recordset, const std::string& keyColumn, Variant& key,
                  const std::string& valueColumn, Variant& value)
{
    try {
        // Called per row of the deepest level, which has no level below: read it in place
        // rather than through a clone.
        std::optional<ado::Recordset> descended;  // a default record set would allocate
        const ado::Recordset* levelRows = &recordset;
        if (!recordset.isOpen() || childLevelField(recordset) >= 0) {
            descended = recordset.clone(true);
            while (!GetChildRS(*descended).empty()) {
            }
            levelRows = &*descended;
        }
        const ado::Recordset& level = *levelRows;
        key = Variant::null();
        value = Variant::null();
        const int valueIndex = exactFieldIndex(level, valueColumn);
        if (!hasRow(level) || valueIndex < 0)
            return;
        value = level.value(valueIndex);
        if (const int keyIndex = exactFieldIndex(level, keyColumn); keyIndex >= 0)
            key = level.value(keyIndex);
    } catch (...) {
        rethrowWithTrail("GetMaxValues", 1);
    }
}

bool FindColumn(const ado::Recordset& recordset, const std::string& name)
{
    try {
        ado::Recordset level = recordset.clone(true);
        do {
            if (exactFieldIndex(level, name) >= 0)
                return true;
        } while (!GetChildRS(level).empty());
        return false;
    } catch (...) {
        rethrowWithTrail("FindColumn", 1);
    }
}

} // namespace qln::engine
