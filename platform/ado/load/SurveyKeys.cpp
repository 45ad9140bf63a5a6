#include "SurveyKeys.h"

#include "SqliteHandles.h"
#include "quillon/SqlText.h"
#include "quillon/Text.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace qln::ado::detail {
namespace {


// Rows of a query as texts; none when it cannot run (a table or column missing).
std::vector<std::vector<std::string>> rows(sqlite3* db, const std::string& sql)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        return {};
    Statement stmt(raw);
    std::vector<std::vector<std::string>> out;
    while (sqlite3_step(raw) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(raw); ++i)
            row.push_back(columnText(raw, i));
        out.push_back(std::move(row));
    }
    return out;
}

// The database's own spelling of its tables and their columns, by lower-case name.
class Catalogue {
public:
    explicit Catalogue(sqlite3* db)
    {
        for (const auto& row : rows(db, "SELECT name FROM sqlite_master WHERE type='table'")) {
            auto& columns = m_tables[lowerAscii(row[0])];
            columns.name = row[0];
            for (const auto& column :
                 rows(db, "SELECT name FROM pragma_table_info('" + escapeQuotes(row[0]) + "')"))
                columns.columns[lowerAscii(column[0])] = column[0];
        }
    }
    std::string table(const std::string& name) const
    {
        const auto found = m_tables.find(lowerAscii(name));
        return found == m_tables.end() ? std::string() : found->second.name;
    }
    std::string column(const std::string& table, const std::string& name) const
    {
        const auto found = m_tables.find(lowerAscii(table));
        if (found == m_tables.end())
            return {};
        const auto column = found->second.columns.find(lowerAscii(name));
        return column == found->second.columns.end() ? std::string() : column->second;
    }

private:
    struct Table {
        std::string name;
        std::map<std::string, std::string> columns;
    };
    std::map<std::string, Table> m_tables;
};

bool yes(const std::string& text)
{
    const std::string value = lowerAscii(text);
    return value == "1" || value == "-1" || value == "yes" || value == "true";
}

} // namespace

std::vector<IndexPlan> surveyIndexPlans(sqlite3* db)
{
    const Catalogue catalogue(db);
    std::vector<IndexPlan> plans;
    const std::string masters = catalogue.table("mdstatidxmas");
    const std::string details = catalogue.table("mdstatidxdet");
    if (!masters.empty() && !details.empty()) {
        const auto declared = rows(db, "SELECT m.tabphyname, m.idxphyname, m.uniqueindex, d.colphyname FROM " +
                                           quoteIdentifier(masters) + " m JOIN " + quoteIdentifier(details) +
                                           " d ON d.tabphyname = m.tabphyname AND d.idxphyname = m.idxphyname "
                                           "ORDER BY m.rowid, d.idxcolsequence");
        bool broken = false;  // a column of the current index is missing
        for (const auto& row : declared) {
            const std::string table = catalogue.table(row[0]);
            if (plans.empty() || plans.back().name != row[1] || lowerAscii(plans.back().table) != lowerAscii(row[0])) {
                if (!plans.empty() && broken)
                    plans.pop_back();
                broken = false;
                const bool unique = yes(row[2]);
                IndexPlan plan;
                plan.name = row[1];
                plan.table = table;
                plan.unique = unique;
                plan.primary = unique && lowerAscii(row[1]).rfind("pk_", 0) == 0;
                plans.push_back(std::move(plan));
            }
            const std::string column = catalogue.column(row[0], row[3]);
            broken = broken || table.empty() || column.empty();
            plans.back().columns.push_back(column);
        }
        if (!plans.empty() && broken)
            plans.pop_back();
    }
    auto covered = [&](const std::string& table, const std::string& column) {
        return std::any_of(plans.begin(), plans.end(), [&](const IndexPlan& plan) {
            return lowerAscii(plan.table) == lowerAscii(table) && lowerAscii(plan.columns.front()) == lowerAscii(column);
        });
    };
    auto keyIndex = [&](const std::string& tableName, const std::string& columnName) {
        const std::string table = catalogue.table(tableName);
        const std::string column = catalogue.column(tableName, columnName);
        if (table.empty() || column.empty() || covered(table, column))
            return;
        IndexPlan plan;
        plan.name = "RK_" + table + "_" + column;
        plan.table = table;
        plan.columns = {column};
        plans.push_back(std::move(plan));
    };
    if (const std::string relations = catalogue.table("mdstatrshipdet"); !relations.empty()) {
        const auto related = rows(db, "SELECT ltabphyname, ltabcolphyname, rtabphyname, rtabcolphyname FROM " +
                                          quoteIdentifier(relations));
        for (const auto& row : related) {
            keyIndex(row[0], row[1]);
            keyIndex(row[2], row[3]);
        }
    }
    return plans;
}

void createIndexes(sqlite3* db, const std::vector<IndexPlan>& plans, IndexSet set, OnRepeatedKey repeated)
{
    for (const IndexPlan& plan : plans) {
        if ((set == IndexSet::PrimaryKeys && !plan.primary) || (set == IndexSet::AllButPrimaryKeys && plan.primary))
            continue;
        std::string columns;
        for (const auto& column : plan.columns)
            columns += (columns.empty() ? "" : ", ") + quoteIdentifier(column);
        const std::string tail = " INDEX IF NOT EXISTS " + quoteIdentifier(plan.name) + " ON " +
                                 quoteIdentifier(plan.table) + " (" + columns + ")";
        std::string sql = std::string("CREATE") + (plan.unique ? " UNIQUE" : "") + tail;
        int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        if ((rc & 0xff) == SQLITE_CONSTRAINT && repeated == OnRepeatedKey::PlainIndex) {
            sql = "CREATE" + tail;
            rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        } else if ((rc & 0xff) == SQLITE_CONSTRAINT) {
            throw std::runtime_error("table " + plan.table + " repeats a value of its unique index " + plan.name +
                                     " (" + columns + ")");
        }
        if (rc != SQLITE_OK)
            throw std::runtime_error("cannot run \"" + sql + "\": " + sqlite3_errmsg(db));
    }
}

} // namespace qln::ado::detail
