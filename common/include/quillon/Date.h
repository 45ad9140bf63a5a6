#pragma once

#include <compare>
#include <string>

namespace qln {

// A day of the proleptic Gregorian calendar (year 0 is 1 BC).
struct CalendarDay {
    long long year = 0;
    int month = 1;
    int day = 1;
    friend bool operator==(const CalendarDay&, const CalendarDay&) = default;
};

bool isLeapYear(long long year);
// The days of a month (1-12) in that year.
int daysInMonth(long long year, int month);

// Days since 1899-12-30 of a calendar day. A day past the end of its month counts on into
// the next (February 30 is March 1 or 2); callers that must refuse it check daysInMonth.
long long dayNumber(const CalendarDay& day);
// The calendar day of a day number; the inverse of dayNumber for days that exist.
CalendarDay calendarDay(long long dayNumber);

// "YYYY-MM-DD HH:MM:SS" of a day and a second of it (0-86399).
std::string dateTimeText(const CalendarDay& day, long long second);

// A point in time as days since 1899-12-30; the fraction is the time of day, counted
// forward from the day's start also before 1899-12-30 (-0.75 is 1899-12-29 06:00).
struct Date {
    double serial = 0.0;
    friend auto operator<=>(const Date&, const Date&) = default;

    // The moment `seconds` after the start of that day.
    static Date at(const CalendarDay& day, double seconds = 0.0);

    // "YYYY-MM-DD", with " HH:MM:SS" when the time rounded to the second is not midnight
    // (23:59:59.5 rounds into the next day). A serial that is no number, or lies more than
    // a million years from 1900, reads as its number.
    std::string text() const;
};

} // namespace qln
