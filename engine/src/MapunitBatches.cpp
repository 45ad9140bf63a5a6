#include "MapunitBatches.h"

#include "FieldValues.h"
#include "quillon/SqlText.h"

#include <unordered_set>

namespace qln::engine {
namespace {

std::string rowName(std::uint32_t legend, const std::string& mukey)
{
    return std::to_string(legend) + '\x1f' + mukey;
}

// The map unit chapter of the current legend row, or an empty record set without one.
ado::Recordset mapunitChapter(const ado::Recordset& legend)
{
    if (legend.fieldIndex("cmdmapunit") < 0)
        return {};
    return legend.chapter("cmdmapunit");
}

} // namespace

RatingOrder ReadRatingOrder(const ado::Recordset& shape)
{
    RatingOrder order;
    ado::Recordset legend = shape.clone();
    for (; hasRow(legend); legend.moveNext(), ++order.legendRows) {
        ado::Recordset mapunits = mapunitChapter(legend);
        if (!mapunits.isOpen() || mapunits.recordCount() <= 0)
            continue;
        for (mapunits.moveFirst(); !mapunits.eof(); mapunits.moveNext())
            order.entries.push_back({static_cast<std::uint32_t>(order.legendRows), mapunits.value("mukey").text()});
    }
    return order;
}

std::vector<std::pair<std::size_t, std::size_t>> SplitIntoBatches(const RatingOrder& order, std::size_t size)
{
    std::vector<std::pair<std::size_t, std::size_t>> batches;
    std::unordered_set<std::string_view> keys;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < order.entries.size(); ++i) {
        const std::string& key = order.entries[i].mukey;
        if (!keys.count(key) && keys.size() >= size) {
            batches.emplace_back(begin, i);
            begin = i;
            keys.clear();
        }
        keys.insert(key);
    }
    if (begin < order.entries.size())
        batches.emplace_back(begin, order.entries.size());
    return batches;
}

std::string BatchKeyCondition(const RatingOrder& order, std::size_t begin, std::size_t end)
{
    std::unordered_set<std::string_view> seen;
    std::string list;
    for (std::size_t i = begin; i < end; ++i) {
        const std::string& key = order.entries[i].mukey;
        if (!seen.insert(key).second)
            continue;
        if (!list.empty())
            list += ',';
        list += "'" + escapeQuotes(key) + "'";
    }
    return "mapunit.mukey IN (" + list + ")";
}

BatchRows::BatchRows(const ado::Recordset& shape)
{
    ado::Recordset legend = shape.clone();
    for (; hasRow(legend); legend.moveNext()) {
        const auto index = static_cast<std::uint32_t>(m_chapters.size());
        ado::Recordset mapunits = mapunitChapter(legend);
        if (mapunits.isOpen() && mapunits.recordCount() > 0) {
            for (mapunits.moveFirst(); !mapunits.eof(); mapunits.moveNext())
                m_rows[rowName(index, mapunits.value("mukey").text())].positions.push_back(mapunits.absolutePosition());
        }
        m_chapters.push_back(std::move(mapunits));
    }
}

bool BatchRows::next(const RatingOrder::Entry& entry, long& position)
{
    const auto found = m_rows.find(rowName(entry.legend, entry.mukey));
    if (found == m_rows.end() || found->second.taken == found->second.positions.size())
        return false;
    position = found->second.positions[found->second.taken++];
    m_chapters[entry.legend].setAbsolutePosition(position);
    return true;
}

} // namespace qln::engine
