#include "quillon/Date.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using qln::CalendarDay;
using qln::Date;

namespace {

struct Moment {
    double serial;
    CalendarDay day;
    double seconds;    // into the day
    const char* text;  // as Date::text() writes it
};

// The epoch, the years Access and dBase files reach, the leap-year rules and the times of
// days before the epoch, whose fraction still counts forward from the day's start.
const Moment kMoments[] = {
    {0, {1899, 12, 30}, 0, "1899-12-30"},
    {1, {1899, 12, 31}, 0, "1899-12-31"},
    {-1, {1899, 12, 29}, 0, "1899-12-29"},
    {25569.5, {1970, 1, 1}, 43200, "1970-01-01 12:00:00"},
    {60, {1900, 2, 28}, 0, "1900-02-28"},
    {61, {1900, 3, 1}, 0, "1900-03-01"},
    {36585, {2000, 2, 29}, 0, "2000-02-29"},
    {36586, {2000, 3, 1}, 0, "2000-03-01"},
    {-109512, {1600, 2, 29}, 0, "1600-02-29"},
    {-657434, {100, 1, 1}, 0, "0100-01-01"},
    {-693593, {1, 1, 1}, 0, "0001-01-01"},
    {-693900, {0, 2, 29}, 0, "0000-02-29"},
    {-693960, {-1, 12, 31}, 0, "-001-12-31"},
    {-0.75, {1899, 12, 29}, 21600, "1899-12-29 06:00:00"},
    {-1.25, {1899, 12, 28}, 64800, "1899-12-28 18:00:00"},
    {2958465 + 86399.0 / 86400.0, {9999, 12, 31}, 86399, "9999-12-31 23:59:59"},
};

} // namespace

TEST(Date, CalendarDaysTimesAndTextsAgreeBothWays)
{
    for (const Moment& m : kMoments) {
        SCOPED_TRACE(m.text);
        const double whole = std::floor(m.serial);
        EXPECT_EQ(qln::dayNumber(m.day), static_cast<long long>(whole));
        EXPECT_EQ(qln::calendarDay(static_cast<long long>(whole)), m.day);
        EXPECT_DOUBLE_EQ(Date::at(m.day, m.seconds).serial, m.serial);
        EXPECT_EQ(Date{m.serial}.text(), m.text);
    }
}

TEST(Date, EveryDayOfTenThousandYearsIsOneCalendarDayInOrder)
{
    CalendarDay previous = qln::calendarDay(-700000);
    for (long long n = -699999; n <= 2958466; ++n) {
        const CalendarDay day = qln::calendarDay(n);
        ASSERT_EQ(qln::dayNumber(day), n);
        const bool nextInMonth = day.year == previous.year && day.month == previous.month && day.day == previous.day + 1;
        const bool firstOfMonth = day.day == 1 && previous.day == qln::daysInMonth(previous.year, previous.month) &&
                                  (day.month == previous.month + 1 ? day.year == previous.year
                                                                   : day.month == 1 && previous.month == 12 &&
                                                                         day.year == previous.year + 1);
        ASSERT_TRUE(nextInMonth || firstOfMonth) << n;
        previous = day;
    }
}

TEST(Date, LeapYearsMonthLengthsRoundingAndOutOfRangeSerials)
{
    EXPECT_TRUE(qln::isLeapYear(2000));
    EXPECT_TRUE(qln::isLeapYear(2024));
    EXPECT_TRUE(qln::isLeapYear(0));
    EXPECT_TRUE(qln::isLeapYear(-4));
    EXPECT_FALSE(qln::isLeapYear(1900));
    EXPECT_FALSE(qln::isLeapYear(2023));
    EXPECT_FALSE(qln::isLeapYear(-100));
    EXPECT_EQ(qln::daysInMonth(2023, 2), 28);
    EXPECT_EQ(qln::daysInMonth(2024, 2), 29);
    EXPECT_EQ(qln::daysInMonth(2024, 4), 30);
    EXPECT_EQ(qln::daysInMonth(2024, 12), 31);
    // A day past the month's end counts on, for the readers that check it themselves.
    EXPECT_EQ(qln::dayNumber({2023, 2, 30}), qln::dayNumber({2023, 3, 2}));

    // Half a second before midnight is the next day, shown without a time.
    EXPECT_EQ(Date{1.0 - 1e-9}.text(), "1899-12-31");
    EXPECT_EQ(Date{-1e-9}.text(), "1899-12-30");
    EXPECT_EQ(qln::dateTimeText({2024, 3, 1}, 0), "2024-03-01 00:00:00");

    // No calendar arithmetic on what no file means as a day: the number is shown instead.
    EXPECT_EQ(Date{1e300}.text(), "1e+300");
    EXPECT_EQ(Date{-std::numeric_limits<double>::infinity()}.text(), "-inf");
    EXPECT_EQ(Date{std::nan("")}.text(), "nan");
}
