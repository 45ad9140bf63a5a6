#include "quillon/Text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, ReportDatesFromIsoDatesAndOtherTextsUnchanged)
{
    EXPECT_EQ(qln::formatReportDate("2023-10-01"), "10/01/2023");
    EXPECT_EQ(qln::formatReportDate("2023-10-01 14:30:00"), "10/01/2023");
    EXPECT_EQ(qln::formatReportDate("10/01/2023"), "10/01/2023");
    EXPECT_EQ(qln::formatReportDate("2023-1-01"), "2023-1-01");
    EXPECT_EQ(qln::formatReportDate(""), "");
}

} // namespace
