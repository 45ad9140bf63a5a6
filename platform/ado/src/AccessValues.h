#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qln::ado::detail {

// "YYYY-MM-DD HH:MM:SS" of an Access date value: whole days since 1899-12-30, with the
// magnitude of the fraction as the time of day (so -1.25 is 1899-12-29 06:00:00, not a
// point on a linear scale). Nothing for values outside the years 100 to 9999 or no number.
std::optional<std::string> accessDateText(double value);

// A decimal number written in the C locale ("12.3400", "-5", "1E+3"), whole text only;
// nothing for anything else. Money and decimal values come out of the reader this way.
std::optional<double> decimalValue(std::string_view text);

} // namespace qln::ado::detail
