#include "AccessValues.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace qln::ado::detail {

namespace {

// Access accepts dates from 100-01-01 to 9999-12-31.
constexpr double kFirstAccessDay = -657434.0;
constexpr double kLastAccessDay = 2958465.0;

// Days since 1970-01-01 to year, month and day of the proleptic Gregorian calendar.
void civilFromDays(long long days, long long& year, int& month, int& day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

} // namespace

std::optional<std::string> accessDateText(double value)
{
    if (!std::isfinite(value) || value <= kFirstAccessDay - 1.0 || value >= kLastAccessDay + 1.0)
        return std::nullopt;
    const double whole = std::trunc(value);
    long long days = static_cast<long long>(whole);
    long long seconds = std::llround(std::fabs(value - whole) * 86400.0);
    if (seconds == 86400) {
        seconds = 0;
        ++days;
    }
    long long year = 0;
    int month = 0;
    int day = 0;
    civilFromDays(days - 25569, year, month, day);   // day 25569 is 1970-01-01
    if (year < 100 || year > 9999)
        return std::nullopt;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02d %02lld:%02lld:%02lld", year, month, day, seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
    return std::string(buffer);
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
