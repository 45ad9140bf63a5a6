#include "Table.h"

#include <algorithm>
#include <cctype>

namespace qln::ado::detail {

namespace {

// Digit strings such as keys ("400123") are their own canonical number text.
bool isCanonicalInteger(const std::string& text)
{
    if (text.empty() || text.size() > 15 || (text[0] == '0' && text.size() > 1))
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::string equalityKey(const Variant& value)
{
    // Values that compare equal must share a key: numbers (and numeric texts) by value,
    // other texts folded to lower case.
    if (value.isText() && isCanonicalInteger(value.str()))
        return "n" + value.str();
    if (const auto number = value.number())
        return "n" + Variant(*number).text();
    if (value.isText()) {
        std::string key = "t" + value.str();
        for (char& c : key)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return key;
    }
    return "t";  // Empty reads as "" beside texts (and as 0: see candidates())
}

void Table::addField(FieldInfo info)
{
    const std::size_t rows = rowCount();
    const bool chapter = info.type == adChapter;
    fields.push_back(std::move(info));
    columns.emplace_back(rows, Variant::null());
    if (chapter) {
        auto column = std::make_shared<ChapterColumn>();
        column->parentGroup.assign(rows, ChapterColumn::kNoGroup);
        chapters.push_back(std::move(column));
    } else {
        chapters.emplace_back();
    }
    rowCountWithoutFields = 0;
}

std::uint32_t Table::appendRow()
{
    const auto row = static_cast<std::uint32_t>(rowCount());
    for (std::size_t f = 0; f < columns.size(); ++f) {
        columns[f].push_back(Variant::null());
        if (chapters[f])
            chapters[f]->parentGroup.push_back(ChapterColumn::kNoGroup);
    }
    if (columns.empty())
        ++rowCountWithoutFields;
    if (!rowids.empty() || database)
        rowids.resize(row + 1, -1);
    return row;  // a Null cell belongs to no index bucket
}

namespace {

void removeFromBucket(std::vector<std::uint32_t>& bucket, std::uint32_t row)
{
    const auto it = std::lower_bound(bucket.begin(), bucket.end(), row);
    if (it != bucket.end() && *it == row)
        bucket.erase(it);
}

void addToBucket(std::vector<std::uint32_t>& bucket, std::uint32_t row)
{
    bucket.insert(std::lower_bound(bucket.begin(), bucket.end(), row), row);
}

} // namespace

void Table::setCell(int field, std::uint32_t row, Variant value)
{
    Variant& cell = columns[static_cast<std::size_t>(field)][row];
    const auto index = indexes.find(field);
    if (index != indexes.end()) {
        // Buckets stay sorted by row so that filtered views keep the natural order.
        auto& buckets = index->second;
        if (!cell.isNull()) {
            removeFromBucket(buckets[equalityKey(cell)], row);
            if (cell.isEmpty())
                removeFromBucket(buckets["n0"], row);
        }
        if (!value.isNull()) {
            addToBucket(buckets[equalityKey(value)], row);
            if (value.isEmpty())
                addToBucket(buckets["n0"], row);
        }
    }
    cell = std::move(value);
}

const std::vector<std::uint32_t>* Table::candidates(int field, const Variant& value)
{
    auto [it, built] = indexes.try_emplace(field);
    auto& index = it->second;
    if (built) {
        const auto& column = columns[static_cast<std::size_t>(field)];
        for (std::uint32_t row = 0; row < column.size(); ++row) {
            const Variant& cell = column[row];
            if (cell.isNull())
                continue;
            index[equalityKey(cell)].push_back(row);
            if (cell.isEmpty())
                index["n0"].push_back(row);
        }
    }
    const auto found = index.find(equalityKey(value));
    return found == index.end() ? nullptr : &found->second;
}

} // namespace qln::ado::detail
