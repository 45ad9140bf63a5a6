#pragma once

#include "quillon/Variant.h"
#include "quillon/ado/Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace qln::ado::detail {

class Database;
struct Table;

// A read-only run of row numbers kept alive by its owner (a chapter's child list).
struct RowSpan {
    std::shared_ptr<const void> owner;
    const std::uint32_t* rows = nullptr;
    std::size_t size = 0;
};

// The child rows of every parent row under one chapter field. Parents with equal keys
// share one group: group g holds rows[offsets[g] .. offsets[g+1]) of the child table.
struct ChapterColumn {
    static constexpr std::uint32_t kNoGroup = UINT32_MAX;
    std::shared_ptr<Table> child;
    std::vector<std::uint32_t> parentGroup;
    std::vector<std::uint32_t> offsets{0};
    std::vector<std::uint32_t> rows;
};

// The one canonical key form of the data layer, shared by filter indexes and SHAPE
// relations: numbers and numeric texts by value ("10", "10.0" and 10 alike), other texts
// without regard to case. Values a filter finds equal always share a key.
std::string equalityKey(const Variant& value);

// Shared row storage of record sets, column by column.
struct Table {
    std::vector<FieldInfo> fields;
    std::vector<std::vector<Variant>> columns;                 // columns[field][row]
    std::vector<std::shared_ptr<ChapterColumn>> chapters;      // per field; null unless adChapter

    // Write-back to the table a query came from; rowids[row] is -1 for a row not yet stored.
    std::shared_ptr<Database> database;
    std::string sourceTable;
    std::vector<std::string> sourceColumns;  // per field, the stored column it was read from
    std::vector<std::int64_t> rowids;

    std::size_t rowCount() const { return columns.empty() ? rowCountWithoutFields : columns.front().size(); }
    std::size_t rowCountWithoutFields = 0;

    // Adds a field; existing rows get Null (or no chapter rows).
    void addField(FieldInfo info);
    // Appends a row with Null in every field and returns its number.
    std::uint32_t appendRow();
    // Sets one cell, keeping the cached index of its field right.
    void setCell(int field, std::uint32_t row, Variant value);

    // Rows of the field whose equalityKey is that of value (built on first use); a
    // superset of the rows equal to it. Not for an Empty value, which equals "" and 0.
    const std::vector<std::uint32_t>* candidates(int field, const Variant& value);

private:
    std::unordered_map<int, std::unordered_map<std::string, std::vector<std::uint32_t>>> indexes;
};

} // namespace qln::ado::detail
