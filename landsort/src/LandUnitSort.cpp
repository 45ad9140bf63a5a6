#include "quillon/landsort/LandUnitSort.h"

#include "ColumnKeys.h"
#include "ColumnInfo.h"
#include "Errors.h"
#include "ExchangeSort.h"
#include "Identifier.h"
#include "RecordsetSorts.h"
#include "quillon/Error.h"
#include "quillon/Tokens.h"

#include <charconv>
#include <iostream>

namespace qln::landsort {

using namespace detail;

namespace {

void writeToStandardError(const std::string& title, const std::string& text)
{
    std::cerr << title << ": " << text << '\n';
}

// The 1-based position an array column entry names.
std::size_t arrayColumn(const ColumnEntry& entry)
{
    std::size_t position = 0;
    const char* end = entry.column.data() + entry.column.size();
    const auto result = std::from_chars(entry.column.data(), end, position);
    if (result.ec != std::errc() || result.ptr != end || position == 0)
        raise(eColumnInvalid, "StringArraySort",
              "Column " + entry.column + " is not a column position of the array (1, 2, ...).");
    return position;
}

} // namespace

clsLandUnitSort::clsLandUnitSort() = default;

ado::Recordset clsLandUnitSort::adoLandUnitSort(const ado::Recordset& rs, std::string_view strCol,
                                                std::string_view strCol2)
{
    std::string failure;
    try {
        return sortByIdentifiers(rs, strCol, strCol2, m_progressHandler);
    } catch (const EngineError& error) {
        failure = error.description();
    } catch (const std::exception& error) {
        failure = error.what();
    }
    const MessageHandler& show = m_messageHandler ? m_messageHandler : MessageHandler(writeToStandardError);
    show("Error Message", "adoLandUnitSort: " + failure);
    return {};
}

long clsLandUnitSort::BubbleSort(ado::Recordset& rsSort, std::string_view iCol1, std::string_view iCol2)
{
    int line = 1;
    try {
        std::vector<ColumnEntry> entries{{std::string(iCol1), m_sortType}};
        if (!iCol2.empty())
            entries.push_back({std::string(iCol2), m_sortType});
        line = 2;
        return sortInPlace(rsSort, entries, m_progressHandler, "BubbleSort");
    } catch (...) {
        rethrowFromRoutine("BubbleSort", line);
    }
}

bool clsLandUnitSort::SortMultipleColumns(ado::Recordset& rsSort, std::string_view iColInfo)
{
    try {
        MultipleColumnBubbleSort(rsSort, iColInfo);
        return true;
    } catch (...) {
        rethrowFromRoutine("SortMultipleColumns", 1);
    }
}

void clsLandUnitSort::setSortType(SortTypes value)
{
    if (value < sRegular || value > sFloat)
        raise(kInvalidArgument, "SortType",
              "SortType must be 1 to 6 (sRegular to sFloat), not " + std::to_string(static_cast<int>(value)) + ".");
    m_sortType = value;
}

int clsLandUnitSort::MultipleColumnsCompare(const ado::Recordset& ioRS, long Srow, std::string_view iColInfo)
{
    constexpr std::string_view kName = "MultipleColumnsCompare";
    int line = 1;
    try {
        const auto entries = parseColumnInfo(iColInfo, Letters::Recordset, kName);
        line = 2;
        requireOpen(ioRS, kName);
        ado::Recordset rows = ioRS.clone(true);
        const long count = rows.recordCount();
        if (Srow < 1 || Srow >= count)
            raise(kInvalidArgument, std::string(kName),
                  "Row " + std::to_string(Srow) + " has no row after it in a record set of " + std::to_string(count) +
                      " rows.");
        line = 3;
        std::vector<ColumnKeys> keys;
        std::vector<int> columns;
        for (const ColumnEntry& entry : entries) {
            columns.push_back(requireColumn(rows, entry.column, kName));
            keys.emplace_back(entry.column, entry.type);
        }
        for (const long position : {Srow, Srow + 1}) {
            rows.setAbsolutePosition(position);
            for (std::size_t c = 0; c < columns.size(); ++c)
                keys[c].add(rows.value(columns[c]));
        }
        return compareRows(keys, 0, 1);
    } catch (...) {
        rethrowFromRoutine(kName, line);
    }
}

void clsLandUnitSort::MultipleColumnBubbleSort(ado::Recordset& rsSort, std::string_view iColInfo)
{
    constexpr std::string_view kName = "MultipleColumnBubbleSort";
    int line = 1;
    try {
        // The comparison checks the letters, so its name starts the trail of a bad one.
        const auto entries = parseColumnInfo(iColInfo, Letters::Recordset, "MultipleColumnsCompare");
        line = 2;
        sortInPlace(rsSort, entries, m_progressHandler, kName);
    } catch (...) {
        rethrowFromRoutine(kName, line);
    }
}

void clsLandUnitSort::StringArraySort(std::vector<std::string>& arySort, std::string_view iColInfo)
{
    constexpr std::string_view kName = "StringArraySort";
    int line = 1;
    try {
        const auto entries = parseColumnInfo(iColInfo, Letters::Array, kName);
        line = 2;
        std::vector<std::size_t> positions;
        std::vector<ColumnKeys> keys;
        for (const ColumnEntry& entry : entries) {
            positions.push_back(arrayColumn(entry));
            keys.emplace_back(entry.column, entry.type);
        }
        line = 3;
        for (const std::string& element : arySort) {
            const auto columns = static_cast<std::size_t>(CountTokens(element, "|"));
            for (std::size_t c = 0; c < positions.size(); ++c) {
                const std::size_t position = positions[c];
                keys[c].add(position <= columns ? getToken(element, "|", static_cast<int>(position)) : std::string());
            }
        }
        line = 4;
        long exchanges = 0;
        const auto order = exchangeSort(
            static_cast<std::uint32_t>(arySort.size()),
            [&](std::uint32_t a, std::uint32_t b) { return compareRows(keys, a, b); }, m_progressHandler, exchanges);
        std::vector<std::string> sorted;
        sorted.reserve(arySort.size());
        for (const std::uint32_t i : order)
            sorted.push_back(std::move(arySort[i]));
        arySort.swap(sorted);
    } catch (...) {
        rethrowFromRoutine(kName, line);
    }
}

int clsLandUnitSort::CompareLandUnits(std::string_view LU1, std::string_view LU2)
{
    return ParsedIdentifier::compare(ParsedIdentifier(std::string(LU1)), ParsedIdentifier(std::string(LU2)),
                                     kComparePieces);
}

void clsLandUnitSort::setMessageHandler(MessageHandler handler)
{
    m_messageHandler = std::move(handler);
}

void clsLandUnitSort::setProgressHandler(ProgressHandler handler)
{
    m_progressHandler = std::move(handler);
}

} // namespace qln::landsort
