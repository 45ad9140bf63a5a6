#pragma once

#include "quillon/Variant.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/Recordset.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qln::engine {

// The map unit rows of a SHAPE result in the order a run rates them: legend row by legend
// row, each legend row's chapter in its order. Rows are named by their legend row and key.
struct RatingOrder {
    struct Entry {
        std::uint32_t legend = 0;
        std::string mukey;
    };
    std::vector<Entry> entries;
    std::size_t legendRows = 0;
};

// Reads the order from a SHAPE result whose levels below mapunit may be left empty.
RatingOrder ReadRatingOrder(const ado::Recordset& shape);

// Consecutive entries [begin, end) holding at most `size` distinct map unit keys each (at
// least one entry each). A key under two legend rows far apart is read with both batches.
std::vector<std::pair<std::size_t, std::size_t>> SplitIntoBatches(const RatingOrder& order, std::size_t size);

// The map unit keys of a soils database in the order the database itself sorts them. A batch
// whose keys fill stretches of that order is read by key ranges, which the database answers
// with one index walk each, instead of a list of keys it must parse, store and probe one by
// one. The database's own order, not ours, decides what a range holds (its collation and
// column type), so a range holds exactly the keys between its ends.
class MapunitKeyOrder {
public:
    MapunitKeyOrder() = default;
    // Keys as the database sorted them. Without keys, or with a key that is no text (a
    // numeric column compares literals otherwise), every batch is read by its list of keys.
    explicit MapunitKeyOrder(std::vector<Variant> sortedKeys);
    // The ranks view the keys' own storage, which a move keeps and a copy would not.
    MapunitKeyOrder(const MapunitKeyOrder&) = delete;
    MapunitKeyOrder& operator=(const MapunitKeyOrder&) = delete;
    MapunitKeyOrder(MapunitKeyOrder&&) = default;
    MapunitKeyOrder& operator=(MapunitKeyOrder&&) = default;

    // Condition on mapunit.mukey keeping the distinct keys of entries [begin, end): ranges of
    // the database's order when they are few, else "mapunit.mukey IN ('a','b')".
    std::string condition(const RatingOrder& order, std::size_t begin, std::size_t end) const;

private:
    std::vector<std::string> m_keys;
    std::unordered_map<std::string_view, std::size_t> m_rank;  // first place of each key
};

// Reads the soils database's map unit keys in its order.
MapunitKeyOrder ReadMapunitKeyOrder(ado::Connection& soils);

// Finds the rows of one batch's SHAPE result by their legend row and key; rows of one key
// under one legend row are taken in their order.
class BatchRows {
public:
    explicit BatchRows(const ado::Recordset& shape);

    // Moves the legend row's map unit chapter to the next row of that key and gives its
    // position; false when the batch holds no such row (the database changed between the
    // reads of one run).
    bool next(const RatingOrder::Entry& entry, long& position);

    ado::Recordset& chapter(std::uint32_t legend) { return m_chapters[legend]; }
    std::size_t legendRows() const { return m_chapters.size(); }

private:
    std::vector<ado::Recordset> m_chapters;
    struct Rows {
        std::vector<long> positions;
        std::size_t taken = 0;
    };
    std::unordered_map<std::string, Rows> m_rows;
};

} // namespace qln::engine
