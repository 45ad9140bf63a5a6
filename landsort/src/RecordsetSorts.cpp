#include "RecordsetSorts.h"

#include "ColumnKeys.h"
#include "Errors.h"
#include "ExchangeSort.h"
#include "Identifier.h"

namespace qln::landsort::detail {

namespace {

// Rows are moved by copying field values, which a chapter field cannot take.
void refuseChapters(const ado::Recordset& rs, std::string_view source)
{
    for (int f = 0; f < rs.fieldCount(); ++f) {
        if (rs.isChapter(f))
            raise(eColumnInvalid, std::string(source),
                  "The rows of a record set with the chapter field " + rs.field(f).name + " cannot be moved.");
    }
}

// The sort keys of the visible rows of rs (from its first row), and, when wanted, every
// field value of those rows.
struct RowsRead {
    std::uint32_t count = 0;
    std::vector<ColumnKeys> keys;
    std::vector<std::vector<Variant>> values;
};

RowsRead readRows(ado::Recordset& rs, const std::vector<ColumnEntry>& entries, int identifierPieces,
                  bool keepValues, std::string_view source)
{
    RowsRead read;
    std::vector<int> columns;
    for (const ColumnEntry& entry : entries) {
        columns.push_back(requireColumn(rs, entry.column, source));
        read.keys.emplace_back(entry.column, entry.type, identifierPieces);
    }
    const int fieldCount = rs.fieldCount();
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        for (std::size_t c = 0; c < columns.size(); ++c)
            read.keys[c].add(rs.value(columns[c]));
        if (keepValues) {
            auto& row = read.values.emplace_back();
            row.reserve(static_cast<std::size_t>(fieldCount));
            for (int f = 0; f < fieldCount; ++f)
                row.push_back(rs.value(f));
        }
        ++read.count;
    }
    return read;
}

void setRow(ado::Recordset& rs, long position, const std::vector<Variant>& row)
{
    rs.setAbsolutePosition(position);
    for (std::size_t f = 0; f < row.size(); ++f)
        rs.setValue(static_cast<int>(f), row[f]);
}

// Writes the rows in their new order. Should a write fail, the rows already changed get
// their old values back, so the record set is never left with rows lost or doubled.
void writeOrder(ado::Recordset& rs, const std::vector<std::vector<Variant>>& rows,
                const std::vector<std::uint32_t>& order)
{
    std::vector<std::uint32_t> changed;
    try {
        for (std::uint32_t i = 0; i < order.size(); ++i) {
            if (order[i] == i)
                continue;
            changed.push_back(i);
            setRow(rs, i + 1, rows[order[i]]);
            rs.update();
        }
    } catch (...) {
        for (const std::uint32_t i : changed) {
            try {
                setRow(rs, i + 1, rows[i]);
                rs.update();
            } catch (...) {
                // Keep restoring the other rows; the first error is the one to report.
            }
        }
        throw;
    }
}

} // namespace

void requireOpen(const ado::Recordset& rs, std::string_view source)
{
    if (!rs.isOpen())
        raise(ado::adErrObjectClosed, std::string(source), "The record set to sort is closed.");
}

int requireColumn(const ado::Recordset& rs, std::string_view name, std::string_view source)
{
    if (name.empty())
        raise(eColumnInvalid, std::string(source), "No column was named to sort by.");
    const int index = rs.fieldIndex(name);
    if (index < 0)
        raise(eColumnNotFoundInRecordset, std::string(source),
              "Column " + std::string(name) + " is not in the record set.");
    if (rs.isChapter(index))
        raise(eColumnInvalid, std::string(source), "Column " + std::string(name) + " is a chapter and cannot be sorted.");
    return index;
}

long sortInPlace(ado::Recordset& rs, const std::vector<ColumnEntry>& entries, const ProgressHandler& progress,
                 std::string_view source)
{
    requireOpen(rs, source);
    refuseChapters(rs, source);
    RowsRead read = readRows(rs, entries, kComparePieces, true, source);
    long exchanges = 0;
    const auto order = exchangeSort(
        read.count, [&](std::uint32_t a, std::uint32_t b) { return compareRows(read.keys, a, b); }, progress,
        exchanges);
    writeOrder(rs, read.values, order);
    if (read.count > 0)
        rs.moveFirst();
    return exchanges;
}

ado::Recordset sortByIdentifiers(const ado::Recordset& rs, std::string_view strCol, std::string_view strCol2,
                                 const ProgressHandler& progress)
{
    constexpr std::string_view kSource = "adoLandUnitSort";
    requireOpen(rs, kSource);
    ado::Recordset source = rs.clone(true);
    refuseChapters(source, kSource);
    std::vector<ColumnEntry> entries{{std::string(strCol), snonRegular}};
    if (!strCol2.empty())
        entries.push_back({std::string(strCol2), snonRegular});
    const RowsRead read = readRows(source, entries, kRecordsetSortPieces, false, kSource);
    long exchanges = 0;
    const auto order = exchangeSort(
        read.count, [&](std::uint32_t a, std::uint32_t b) { return compareRows(read.keys, a, b); }, progress,
        exchanges);

    // Each sorted row is copied from its own source row: rows with equal keys or Null keys
    // are neither doubled nor lost.
    ado::Recordset sorted;
    for (int f = 0; f < source.fieldCount(); ++f) {
        const ado::FieldInfo& info = source.field(f);
        sorted.appendField(info.name, info.type, info.definedSize, info.attributes);
    }
    sorted.open();
    for (const std::uint32_t row : order) {
        source.setAbsolutePosition(static_cast<long>(row) + 1);
        sorted.addNew();
        for (int f = 0; f < source.fieldCount(); ++f)
            sorted.setValue(f, source.value(f));
        sorted.update();
    }
    if (read.count > 0)
        sorted.moveFirst();
    return sorted;
}

} // namespace qln::landsort::detail
