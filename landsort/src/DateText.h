#pragma once

#include <optional>
#include <string_view>

namespace qln::landsort::detail {

// A date written as "YYYY-MM-DD" or "M/D/YYYY", either optionally followed by a time
// "HH:MM[:SS]" (after a blank, or a "T" in the first form), as days since 1899-12-30;
// nothing when the text is no such date or names a day that does not exist.
std::optional<double> parseDateText(std::string_view text);

} // namespace qln::landsort::detail
