#pragma once

#include <string>
#include <string_view>

namespace qln {

// The text with every single quote doubled, for a value between single quotes in SQL or a
// record-set filter: a key read from a file must never change the query around it.
std::string escapeQuotes(std::string_view text);

// A table or column name in double quotes for SQL, its own double quotes doubled.
std::string quoteIdentifier(std::string_view name);

// True when the name is safe to paste into SQL as a column or table name: letters, digits,
// "_" and blanks, not starting with a digit or blank.
bool isPlainName(std::string_view name);

} // namespace qln
