#include "BatchCopies.h"

#include "quillon/SqlText.h"

namespace qln::engine {

BatchCopies CopyForBatches(ado::Connection& soils, ShapePieces& pieces, const ado::Recordset& attr,
                           const std::string& probe, const std::string& componentsProbe,
                           const std::string& componentsWhole, const std::function<void(long rows)>& going)
{
    BatchCopies copies;
    if (soils.databasePath().empty())
        return copies;

    // The levels as one batch reads them, then as read whole, without the run's map units.
    ShapePieces batch = pieces;
    batch.mapunitCondition = probe;
    batch.childRestriction = probe;
    std::vector<ShapeLevel> batchLevels;
    GetMainInformation(soils, batch, attr, &batchLevels);
    ShapePieces whole = pieces;
    whole.mapunitCondition.clear();
    whole.childRestriction.clear();
    std::vector<ShapeLevel> wholeLevels;
    GetMainInformation(soils, whole, attr, &wholeLevels);
    if (batchLevels.size() != wholeLevels.size())
        return copies;

    std::vector<std::size_t> walked;
    for (std::size_t i = 0; i < batchLevels.size(); ++i) {
        const ShapeLevel& level = batchLevels[i];
        const std::string key = level.table == "mapunit" ? "mukey" : level.relateColumn;
        if (!ado::seeksBy(soils, level.sql, level.table, key))
            walked.push_back(i);
    }
    const bool copyComponents =
        !componentsProbe.empty() && !ado::seeksBy(soils, componentsProbe, "component", "mukey");
    if (walked.empty() && !copyComponents)
        return copies;

    copies.file = ado::QueryCopies::create(soils);
    if (!copies.file)
        return copies;
    long read = 0;  // the rows of the copies made before, so that the count only grows
    const auto copyOf = [&](const std::string& sql, const std::string& indexed) {
        const long before = read;
        return copies.file->copy(sql, {indexed}, [&](long rows) { going(read = before + rows); });
    };
    std::map<std::string, ado::QueryCopies::Copy> made;
    for (const std::size_t i : walked) {
        const ShapeLevel& level = wholeLevels[i];
        auto copy = copyOf(level.sql, level.table == "mapunit" ? "mukey" : level.relateColumn);
        if (!copy)
            return {};
        made.emplace(level.table, std::move(*copy));
    }
    if (copyComponents) {
        auto copy = copyOf(componentsWhole, "mukey");
        if (!copy)
            return {};
        copies.components = std::move(*copy);
    }
    pieces.copies = std::move(made);
    return copies;
}

std::string CopiedComponentsQuery(const ado::QueryCopies::Copy& copy, const std::string& condition)
{
    return "SELECT " + copy.columns + " FROM " + copy.table + " AS mapunit WHERE (" + condition +
           ") ORDER BY mapunit._rowid_";
}

} // namespace qln::engine
