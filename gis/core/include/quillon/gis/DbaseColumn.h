#pragma once

// How a column of values is stored in a dBase table: numbers as a numeric field as wide and
// with as many decimals as the values need, True/False as a logical field, anything else
// as a character field; Null as an empty cell. Texts are written by our own code, never
// through the C library's locale.

#include "quillon/Variant.h"

#include <string>
#include <vector>

namespace qln::gis {

struct DbaseColumn {
    char type = 'C';   // 'N', 'L' or 'C'
    int width = 1;     // characters (bytes of UTF-8 for 'C')
    int decimals = 0;  // 'N' only
};

// The narrowest field that holds every value exactly (decimals at most 15). Throws GisError
// when a number needs more than 254 characters.
DbaseColumn columnFor(const std::vector<Variant>& values);

// The cell of a value: exactly width characters, numbers right-aligned, texts left-aligned
// and cut at a character boundary, Null all blanks.
std::string cellText(const Variant& value, const DbaseColumn& column);

} // namespace qln::gis
