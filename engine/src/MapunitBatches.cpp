#include "MapunitBatches.h"

#include "FieldValues.h"
#include "quillon/SqlText.h"
#include "rsFunctions.h"

#include <algorithm>
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

MapunitKeyOrder::MapunitKeyOrder(std::vector<Variant> sortedKeys)
{
    m_keys.reserve(sortedKeys.size());
    for (const Variant& key : sortedKeys) {
        if (key.isMissing())
            continue;  // a map unit without key is in no run
        if (!key.isText()) {
            m_keys.clear();
            return;
        }
        m_keys.push_back(key.text());
    }
    m_rank.reserve(m_keys.size());
    for (std::size_t i = 0; i < m_keys.size(); ++i)
        m_rank.try_emplace(m_keys[i], i);
}

std::string MapunitKeyOrder::condition(const RatingOrder& order, std::size_t begin, std::size_t end) const
{
    // Beyond this many ranges one list is the simpler query for the database to plan.
    constexpr std::size_t kMaxRanges = 32;

    std::unordered_set<std::string_view> keys;
    std::vector<std::string_view> listed;  // in rating order, each once
    for (std::size_t i = begin; i < end; ++i) {
        if (keys.insert(order.entries[i].mukey).second)
            listed.push_back(order.entries[i].mukey);
    }
    std::vector<std::size_t> ranks;
    bool ranked = !m_rank.empty();
    for (const std::string_view key : listed) {
        const auto found = m_rank.find(key);
        if (found == m_rank.end()) {
            ranked = false;  // the database changed since: the list lets the batch tell
            break;
        }
        ranks.push_back(found->second);
    }

    // Stretches of the database's order holding batch keys only; a key the order holds twice
    // (equal under its collation) is covered by the one stretch.
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    std::vector<std::string_view> singles;
    if (ranked) {
        std::sort(ranks.begin(), ranks.end());
        std::size_t uncovered = 0;
        for (const std::size_t rank : ranks) {
            if (rank < uncovered)
                continue;
            std::size_t last = rank;
            while (last + 1 < m_keys.size() && keys.count(m_keys[last + 1]))
                ++last;
            uncovered = last + 1;
            if (last == rank)
                singles.push_back(m_keys[rank]);
            else
                runs.emplace_back(rank, last);
            if (runs.size() > kMaxRanges)
                break;
        }
    }
    const auto keyList = [](const std::vector<std::string_view>& list) {
        std::string text;
        for (const std::string_view key : list) {
            if (!text.empty())
                text += ',';
            text += "'" + escapeQuotes(key) + "'";
        }
        return "mapunit.mukey IN (" + text + ")";
    };
    if (!ranked || runs.empty() || runs.size() > kMaxRanges)
        return keyList(listed);

    std::string condition;
    if (!singles.empty())
        condition = keyList(singles);
    for (const auto& [first, last] : runs) {
        if (!condition.empty())
            condition += " OR ";
        condition += "(mapunit.mukey>='" + escapeQuotes(m_keys[first]) + "' AND mapunit.mukey<='" +
                     escapeQuotes(m_keys[last]) + "')";
    }
    return singles.empty() && runs.size() == 1 ? condition : "(" + condition + ")";
}

MapunitKeyOrder ReadMapunitKeyOrder(ado::Connection& soils)
{
    ado::Recordset keys;
    adoOpenRecordset(soils, keys, "SELECT mapunit.mukey FROM mapunit ORDER BY mapunit.mukey", ado::adLockReadOnly);
    std::vector<Variant> sorted;
    sorted.reserve(static_cast<std::size_t>(std::max(0L, keys.recordCount())));
    for (; hasRow(keys); keys.moveNext())
        sorted.push_back(keys.value(0));
    return MapunitKeyOrder(std::move(sorted));
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
