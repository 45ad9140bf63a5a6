#pragma once

#include "quillon/ado/Recordset.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qln::landsort {

// How two values compare; the letter chooses the type in a column specification.
enum SortTypes : int {
    sRegular = 1,     // R: the values' own ordering; Null sorts before every value
    snonRegular = 2,  // N: land unit identifiers, piece by piece (CompareLandUnits)
    sString = 3,      // S: texts in binary order
    sDate = 4,        // D: both values as dates; a blank sorts before every date
    sInteger = 5,     // I: the whole part of the number at the front of each text
    sFloat = 6,       // F: the number at the front of each text (0 when it has none)
};

// Error numbers raised to callers: 0x80040200 to 0x80040207 read as signed 32-bit values.
enum SLUErrorCodes : std::int64_t {
    eFirstError = -2147220992,
    eWrongNumberColumnParameters = -2147220991,  // a column entry is not "name,letter"
    eSecondParameterInvalid = -2147220990,       // a type letter the operation does not accept
    eColumnInvalid = -2147220989,                // an empty or unusable column
    eColumnNotFoundInRecordset = -2147220988,
    eCannotOpenDatabase = -2147220987,
    eCannotOpenRecordset = -2147220986,
    eLastError = -2147220985,
};

// Shows a failure to the user (title, text). The default writes both to standard error;
// a GUI program installs one that shows a message box.
using MessageHandler = std::function<void(const std::string& title, const std::string& text)>;

// Told after every pass of a sort: passes done and the most passes the sort can take (the
// number of rows, as each pass puts at least one row in its final place). The last call
// has done == total. Drives a "Sorting" progress bar.
using ProgressHandler = std::function<void(long done, long total)>;

// Sorts of mixed alphanumeric land unit identifiers (12, 12A, 3-2) in record sets and
// arrays of texts.
//
// The identifier comparison is not a strict weak ordering (10b and 10B each sort before
// the other), so every sort here is a stable exchange sort: passes over adjacent rows,
// exchanging two rows only when the first sorts after the second, until a pass exchanges
// nothing. That costs O(n^2) comparisons: identifiers are split into pieces once, so
// 5,000 rows sort in a fraction of a second, but 50,000 take a hundred times as long.
//
// Errors are qln::EngineError with an SLUErrorCodes number (or the data layer's), the
// source trail "origin/Routine(Line N)/Caller(Line M)" and a description. A failed sort
// leaves its record set or array as it was.
class clsLandUnitSort {
public:
    clsLandUnitSort();

    // A new record set with the fields and the visible rows of rs, ordered by the land unit
    // identifiers in strCol, rows equal there by strCol2 (when not empty); identifiers
    // compare by their first three pieces. rs keeps its order and position. A failure is
    // shown through the message handler as "adoLandUnitSort: <description>" and gives a
    // closed record set.
    ado::Recordset adoLandUnitSort(const ado::Recordset& rs, std::string_view strCol,
                                   std::string_view strCol2 = {});

    // Orders the visible rows of rsSort in place by column iCol1, rows equal there by iCol2
    // (when not empty), under SortType(); leaves rsSort on its first row. Returns the
    // number of row exchanges made.
    long BubbleSort(ado::Recordset& rsSort, std::string_view iCol1, std::string_view iCol2 = {});

    // Orders rsSort in place by the column specification ("name,N|symbol,R": letters N and
    // R only; the first entry is the primary key). True once the rows are in order.
    bool SortMultipleColumns(ado::Recordset& rsSort, std::string_view iColInfo);

    // The type BubbleSort compares by; snonRegular until set.
    SortTypes SortType() const { return m_sortType; }
    // Raises for a value outside SortTypes.
    void setSortType(SortTypes value);

    // Compares the row at 1-based position Srow of ioRS with the row after it by the columns
    // of iColInfo: 1, -1 or 0. ioRS keeps its position.
    int MultipleColumnsCompare(const ado::Recordset& ioRS, long Srow, std::string_view iColInfo);

    // Orders rsSort in place by the columns of iColInfo, as SortMultipleColumns.
    void MultipleColumnBubbleSort(ado::Recordset& rsSort, std::string_view iColInfo);

    // Orders texts whose elements hold "|"-separated columns. In iColInfo a column is its
    // 1-based position in the element ("2,N|1,S"); letters R, N, S, D, I and F. A
    // missing column reads as "".
    void StringArraySort(std::vector<std::string>& arySort, std::string_view iColInfo);

    // 1 when LU1 sorts after LU2, -1 when before, 0 when equal: piece by piece over the
    // first four pieces, digit pieces by their value (any length), other pieces by their
    // upper-case text. Different texts whose pieces agree only in letter case or leading
    // zeros give -1 either way round.
    static int CompareLandUnits(std::string_view LU1, std::string_view LU2);

    // Replaces the handler that shows adoLandUnitSort's failures; empty restores the default.
    void setMessageHandler(MessageHandler handler);
    // Installs a progress handler for the sorts; empty removes it.
    void setProgressHandler(ProgressHandler handler);

private:
    SortTypes m_sortType = snonRegular;
    MessageHandler m_messageHandler;
    ProgressHandler m_progressHandler;
};

} // namespace qln::landsort
