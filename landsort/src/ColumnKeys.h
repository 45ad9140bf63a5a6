#pragma once

#include "Identifier.h"
#include "quillon/Variant.h"
#include "quillon/landsort/LandUnitSort.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qln::landsort::detail {

// The values of one sort column, row by row, converted once into what its sort type
// compares, so that the many comparisons of an exchange sort stay cheap.
class ColumnKeys {
public:
    // column names the column in error messages; identifierPieces applies to snonRegular.
    ColumnKeys(std::string column, SortTypes type, int identifierPieces = kComparePieces);

    // Adds the value of the next row. Raises kTypeMismatch for a value of a date column
    // that is not a date.
    void add(const Variant& value);

    // 1 when row a sorts after row b, -1 when before, 0 when they are equal here.
    int compare(std::uint32_t a, std::uint32_t b) const;

private:
    std::string m_column;
    SortTypes m_type;
    int m_pieces;
    std::vector<ParsedIdentifier> m_identifiers;  // snonRegular
    std::vector<Variant> m_values;                // sRegular
    std::vector<std::string> m_texts;             // sString
    std::vector<std::optional<double>> m_numbers; // sDate, sInteger, sFloat; nothing: blank
};

// Compares rows by several columns, the first column first.
inline int compareRows(const std::vector<ColumnKeys>& columns, std::uint32_t a, std::uint32_t b)
{
    for (const ColumnKeys& column : columns) {
        if (const int result = column.compare(a, b))
            return result;
    }
    return 0;
}

} // namespace qln::landsort::detail
