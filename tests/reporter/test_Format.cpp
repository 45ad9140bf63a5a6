#include "quillon/reporter/Format.h"

#include <gtest/gtest.h>

using qln::reporter::formatMessage;
using qln::reporter::splitInserts;
using Inserts = std::vector<std::string>;

TEST(SplitInserts, CountsAndTextsAsTheReporterClassJoinsThem)
{
    EXPECT_EQ(splitInserts(3, "|a|5|c"), (Inserts{"a", "5", "c"}));
    EXPECT_EQ(splitInserts(2, "|x|12"), (Inserts{"x", "12"}));
    EXPECT_EQ(splitInserts(0, ""), Inserts{});
    EXPECT_EQ(splitInserts(-4, "|a"), Inserts{});
    EXPECT_EQ(splitInserts(1000000, "|a").size(), 99u);
}

TEST(SplitInserts, ABarInsideTheLastInsertIsKept)
{
    EXPECT_EQ(splitInserts(1, "|folder|file.dbf"), Inserts{"folder|file.dbf"});
    EXPECT_EQ(splitInserts(2, "|a|b|c"), (Inserts{"a", "b|c"}));
}

TEST(SplitInserts, MissingInsertsAreEmptyAndEmptyOnesSurvive)
{
    EXPECT_EQ(splitInserts(3, "|a"), (Inserts{"a", "", ""}));
    EXPECT_EQ(splitInserts(3, "||b|"), (Inserts{"", "b", ""}));
    EXPECT_EQ(splitInserts(1, "no bar"), Inserts{"no bar"});
}

TEST(FormatMessage, InsertsRepeatedInsertsAndTheEndMark)
{
    EXPECT_EQ(formatMessage("%1 System Error. %2.%0\r\n", {"Fatal", "Unable to locate a DLL"}),
              "Fatal System Error. Unable to locate a DLL.");
    EXPECT_EQ(formatMessage("%1 and %1 again, then %2%0\r\n", {"x", "y"}), "x and x again, then y");
    EXPECT_EQ(formatMessage("Unable to query the registry for %1.%0\r\n", {"EnableQLNDialog"}),
              "Unable to query the registry for EnableQLNDialog.");
}

TEST(FormatMessage, LineBreaksComeOutAsNewlinesWithoutATrailingOne)
{
    EXPECT_EQ(formatMessage("a:\r\n1) b\r\n2) c%0\r\n", {}), "a:\n1) b\n2) c");
    EXPECT_EQ(formatMessage("one%ntwo%0\r\n", {}), "one\ntwo");
    EXPECT_EQ(formatMessage("kept break\r\n", {}), "kept break\n");
}

TEST(FormatMessage, EscapesOfTheFormatter)
{
    EXPECT_EQ(formatMessage("100%% sure%t%b%.%!% end%0", {}), "100% sure\t .! end");
    EXPECT_EQ(formatMessage("unknown %q and a last %", {}), "unknown %q and a last %");
}

TEST(FormatMessage, TwoDigitInsertsAndInsertsWithoutArguments)
{
    Inserts twelve;
    for (int i = 1; i <= 12; ++i) twelve.push_back("i" + std::to_string(i));
    EXPECT_EQ(formatMessage("%10 %12 %1", twelve), "i10 i12 i1");
    EXPECT_EQ(formatMessage("%1 and %3", {"only"}), "only and %3");
}

TEST(FormatMessage, InsertsAreNotFormattedAgain)
{
    EXPECT_EQ(formatMessage("%1 / %2", {"%2%0", "b"}), "%2%0 / b");
}
