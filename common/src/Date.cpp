#include "quillon/Date.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace qln {
namespace {

// Day 0 of the civil-date formulas below is 1970-01-01, day 25569 since 1899-12-30; they
// count in eras of 400 years (146097 days) that start on a 1 March.
constexpr long long kUnixDay = 25569;
constexpr long long kMarchShift = 719468;
constexpr long long kEraDays = 146097;
// Far enough for any date a user or a file means; the arithmetic is exact well beyond.
constexpr double kFarthestSerial = 365.25 * 1e6;

} // namespace

bool isLeapYear(long long year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(long long year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

long long dayNumber(const CalendarDay& date)
{
    const long long year = date.year - (date.month <= 2 ? 1 : 0);
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * kEraDays + dayOfEra - kMarchShift + kUnixDay;
}

CalendarDay calendarDay(long long dayNumber)
{
    const long long days = dayNumber - kUnixDay + kMarchShift;
    const long long era = (days >= 0 ? days : days - (kEraDays - 1)) / kEraDays;
    const long long dayOfEra = days - era * kEraDays;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long shiftedMonth = (5 * dayOfYear + 2) / 153;
    CalendarDay result;
    result.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    result.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    result.year = yearOfEra + era * 400 + (result.month <= 2 ? 1 : 0);
    return result;
}

std::string dateTimeText(const CalendarDay& day, long long second)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02d %02lld:%02lld:%02lld", day.year, day.month, day.day,
                  second / 3600, second / 60 % 60, second % 60);
    return buffer;
}

Date Date::at(const CalendarDay& day, double seconds)
{
    return Date{static_cast<double>(dayNumber(day)) + seconds / 86400.0};
}

std::string Date::text() const
{
    if (!(std::fabs(serial) <= kFarthestSerial)) {
        char buffer[64];
        const auto written = std::to_chars(buffer, buffer + sizeof buffer, serial);
        return std::string(buffer, written.ptr);
    }
    const double whole = std::floor(serial);
    long long days = static_cast<long long>(whole);
    long long seconds = std::llround((serial - whole) * 86400.0);
    if (seconds == 86400) {
        seconds = 0;
        ++days;
    }
    const CalendarDay day = calendarDay(days);
    if (seconds != 0)
        return dateTimeText(day, seconds);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02d", day.year, day.month, day.day);
    return buffer;
}

} // namespace qln
