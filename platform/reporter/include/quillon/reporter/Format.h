#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qln::reporter {

// The highest insert a message text can name (%99).
inline constexpr std::int32_t kMaxInserts = 99;

// Splits an insert text of the form "|a|5|c" into count inserts. The last insert keeps any
// further "|" (so a free text passed as the only insert arrives whole); missing inserts
// are empty; a count below 1 gives none, one above kMaxInserts gives kMaxInserts.
std::vector<std::string> splitInserts(std::int32_t count, std::string_view text);

// Formats a stored catalog text as the platform's message formatter does: %1..%99 take the
// inserts (an insert without an argument stays as written), %0 ends the text, %n is a line
// break, %% a percent sign, %t a tab, %b and "% " a blank, %. and %! the sign itself.
// Line breaks come out as "\n", whether written as %n or as CR LF in the catalog. Inserts
// are copied as they are, never formatted again.
std::string formatMessage(std::string_view stored, const std::vector<std::string>& inserts);

} // namespace qln::reporter
