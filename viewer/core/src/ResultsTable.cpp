#include "quillon/viewer/ResultsTable.h"

#include "quillon/SqlText.h"
#include "quillon/Text.h"
#include "quillon/ado/Transaction.h"
#include "quillon/viewer/RunOptions.h"

#include <cctype>
#include <unordered_map>

namespace qln::viewer {

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A type as the rules write it: "Single", "Text", "Text(30)", "Double Precision".
bool isTypeName(const std::string& type)
{
    if (type.empty() || !isAsciiLetter(type.front())) return false;
    for (const char c : type) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != ' ' && c != '(' && c != ')' && c != ',') return false;
    }
    return true;
}

} // namespace

void checkOutputColumn(const std::string& name)
{
    if (name.empty()) throw OptionError("Enter a name for the rating column.");
    if (name.size() > 10)
        throw OptionError("The column name \"" + name + "\" is longer than 10 characters.");
    if (!isAsciiLetter(name.front()))
        throw OptionError("The column name \"" + name + "\" must start with a letter.");
    for (const char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            throw OptionError("The column name \"" + name + "\" may hold only letters, digits and _.");
    }
    const std::string lower = lowerAscii(name);
    if (lower == "mukey" || lower == "musym")
        throw OptionError("The column name \"" + name + "\" is the map units' own column; choose another.");
}

short FindRSColumn(const ado::Recordset& rs, const std::string& name, int& index)
{
    index = -1;
    const std::string wanted = lowerAscii(name);
    for (int i = 0; i < rs.fieldCount(); ++i) {
        if (lowerAscii(rs.field(i).name) == wanted) {
            index = i;
            break;
        }
    }
    return 1;
}

short AddMapUnitSymbols(ado::Connection& results, const std::string& table, ado::Recordset& mapunits)
{
    ado::Transaction transaction(results);
    ado::Recordset rows;
    rows.open("SELECT * FROM " + quoteIdentifier(table), results, ado::adOpenStatic, ado::adLockOptimistic);
    ado::Recordset units = mapunits.clone();
    for (; !units.eof(); units.moveNext()) {
        if (units.value("mukey").isNull()) continue;
        rows.addNew();
        rows.setValue("musym", units.value("musym"));
        rows.setValue("mukey", units.value("mukey"));
        rows.update();
    }
    transaction.commit();
    return 1;
}

short AddColumn(ado::Connection& results, const std::string& table, const std::string& column, const std::string& type,
                const ReplacePrompt& replace)
{
    const ado::Recordset rows = results.execute("SELECT * FROM " + quoteIdentifier(table) + " WHERE 0");
    int index = -1;
    FindRSColumn(rows, column, index);
    if (index >= 0) {
        if (!replace()) return -1;
        results.execute("UPDATE " + quoteIdentifier(table) + " SET " + quoteIdentifier(rows.field(index).name) +
                        " = NULL");
        return 1;
    }
    if (!isTypeName(type))
        throw OptionError("The rules give the column " + column + " the type \"" + type +
                          "\", which is no column type.");
    if (rows.fieldCount() >= kMaxResultColumns)
        throw TooManyColumns("The results table " + table + " holds " + std::to_string(rows.fieldCount()) +
                             " columns, its most.");
    results.execute("Alter Table " + quoteIdentifier(table) + " ADD " + quoteIdentifier(column) + " " + type);
    return 1;
}

bool HasColumn(ado::Connection& results, const std::string& table, const std::string& column)
{
    int index = -1;
    FindRSColumn(results.execute("SELECT * FROM " + quoteIdentifier(table) + " WHERE 0"), column, index);
    return index >= 0;
}

std::optional<ado::Recordset> AddToResultsDB(ado::Connection& results, const std::string& type,
                                             const ado::Recordset& ratings, const ReplacePrompt& replace,
                                             const StoreProgress& progress)
{
    const std::string column = ratings.field(2).name;
    ado::Transaction transaction(results);
    if (AddColumn(results, kResultsTable, column, type, replace) != 1) return std::nullopt;

    // The first ratings row of each map unit, as a search from the first row finds it.
    std::unordered_map<std::string, long> firstRow;
    ado::Recordset rated = ratings.clone();
    for (long position = 1; !rated.eof(); rated.moveNext(), ++position) {
        const Variant& key = rated.value("mukey");
        if (!key.isNull()) firstRow.emplace(key.text(), position);
    }

    // Only the key and the rating: each row written back then carries one value, not every
    // earlier run's too.
    ado::Recordset rows;
    rows.open("SELECT mukey, " + quoteIdentifier(column) + " FROM " + quoteIdentifier(kResultsTable), results,
              ado::adOpenStatic, ado::adLockOptimistic);
    const int target = 1;
    const long total = rows.recordCount();
    for (long done = 0; !rows.eof(); rows.moveNext(), ++done) {
        if (progress && !progress(done, total)) return std::nullopt;
        const Variant& key = rows.value("mukey");
        if (key.isNull()) continue;
        const auto found = firstRow.find(key.text());
        if (found == firstRow.end()) continue;
        rated.setAbsolutePosition(found->second);
        rows.setValue(target, rated.value(2));
        rows.update();
    }
    if (progress && !progress(total, total)) return std::nullopt;
    transaction.commit();
    if (rows.recordCount() > 0) rows.moveFirst();
    return rows;
}

} // namespace qln::viewer
