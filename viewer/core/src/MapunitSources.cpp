#include "quillon/viewer/MapunitSources.h"

#include "quillon/Error.h"
#include "quillon/Text.h"
#include "quillon/ado/DbaseTable.h"
#include "quillon/ado/Types.h"

#include <set>
#include <system_error>
#include <utility>

namespace qln::viewer {

namespace fs = std::filesystem;

namespace {

// The attribute table's file: name.dbf, or the same name with the extension in other case.
fs::path attributeTable(const fs::path& folder, const std::string& name)
{
    const fs::path exact = folder / (name + ".dbf");
    std::error_code error;
    if (fs::exists(exact, error)) return exact;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path file = it->path().filename();
        if (file.stem().string() == name && lowerAscii(file.extension().string()) == ".dbf") return it->path();
    }
    return exact;
}

int requireField(const ado::Recordset& table, const fs::path& file, const char* name)
{
    const int index = table.fieldIndex(name);
    if (index < 0)
        throw EngineError(kProviderError, "", file.string() + " has no field " + name);
    return index;
}

} // namespace

std::optional<ado::Recordset> GetMUFromDBF(const fs::path& shapeDirectory, const std::string& attributeFileName)
{
    int line = 1;
    try {
        const std::string name = trimBlanks(attributeFileName);
        if (name.empty()) return std::nullopt;
        line = 2;
        const fs::path file = attributeTable(shapeDirectory, name);
        ado::Recordset table = ado::readDbaseTable(file);
        const int mukey = requireField(table, file, "mukey");
        const int musym = requireField(table, file, "musym");

        line = 3;
        ado::Recordset result;
        result.appendField("mukey", ado::adVarChar, 16, ado::adFldUpdatable);
        result.appendField("musym", ado::adVarChar, 6, ado::adFldUpdatable);
        result.open();
        // Pairs of texts; a Null musym is kept apart from an empty one.
        std::set<std::pair<std::string, std::pair<bool, std::string>>> seen;
        for (table.moveFirst(); !table.eof(); table.moveNext()) {
            const Variant& key = table.value(mukey);
            if (key.isMissing() || trimBlanks(key.text()).empty()) continue;
            const Variant& symbol = table.value(musym);
            if (!seen.insert({key.text(), {symbol.isMissing(), symbol.text()}}).second) continue;
            result.addNew();
            result.setValue(0, key);
            result.setValue(1, symbol);
            result.update();
        }
        if (result.recordCount() > 0) result.moveFirst();
        return result;
    } catch (...) {
        rethrowWithTrail("GetMUFromDBF", line);
    }
}

ado::Recordset GetMUFromMDB(ado::Connection& soils, const std::string& condition)
{
    try {
        std::string query = std::string("select distinct(") + "mukey" + ")," + "musym" + " from " + "mapunit" + " ";
        query += condition;
        ado::Recordset mapunits;
        mapunits.open(query, soils, ado::adOpenStatic, ado::adLockOptimistic);
        return mapunits;
    } catch (...) {
        rethrowWithTrail("GetMUFromMDB", 1);
    }
}

} // namespace qln::viewer
