#include "AccessValues.h"

#include "quillon/Date.h"

#include <charconv>
#include <cmath>

namespace qln::ado::detail {

namespace {

// Access accepts dates from 100-01-01 to 9999-12-31.
constexpr double kFirstAccessDay = -657434.0;
constexpr double kLastAccessDay = 2958465.0;

} // namespace

std::optional<std::string> accessDateText(double value)
{
    if (!std::isfinite(value) || value <= kFirstAccessDay - 1.0 || value >= kLastAccessDay + 1.0)
        return std::nullopt;
    // Access keeps the time of a day before 1899-12-30 as a positive fraction too: the whole
    // part is the day (-1.25 is 1899-12-29 06:00).
    const double whole = std::trunc(value);
    long long days = static_cast<long long>(whole);
    long long seconds = std::llround(std::fabs(value - whole) * 86400.0);
    if (seconds == 86400) {
        seconds = 0;
        ++days;
    }
    const CalendarDay day = calendarDay(days);
    if (day.year < 100 || day.year > 9999)
        return std::nullopt;
    return dateTimeText(day, seconds);
}

std::optional<double> decimalValue(std::string_view text)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double result = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), result);
    if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size())
        return std::nullopt;
    return result;
}

} // namespace qln::ado::detail
