#include "quillon/Error.h"
#include "quillon/landsort/LandUnitSort.h"

#include <gtest/gtest.h>

using namespace qln::landsort;
using Texts = std::vector<std::string>;

TEST(StringArraySort, SortsByColumnPositionsInTurn)
{
    clsLandUnitSort sorter;
    Texts rows = {"b|10", "a|9", "b|1A", "a|10", "c"};
    sorter.StringArraySort(rows, "1,S|2,N");
    EXPECT_EQ(rows, (Texts{"a|9", "a|10", "b|1A", "b|10", "c"}));
    // A missing column reads as "", before every identifier.
    sorter.StringArraySort(rows, "2,N");
    EXPECT_EQ(rows, (Texts{"c", "b|1A", "a|9", "a|10", "b|10"}));
}

TEST(StringArraySort, ComparesLeadingNumbersAndDates)
{
    clsLandUnitSort sorter;
    Texts numbers = {"3.9x", "3.2y", "-1", "z"};
    sorter.StringArraySort(numbers, "1,I");
    EXPECT_EQ(numbers, (Texts{"-1", "z", "3.9x", "3.2y"}));
    sorter.StringArraySort(numbers, "1,F");
    EXPECT_EQ(numbers, (Texts{"-1", "z", "3.2y", "3.9x"}));

    Texts dates = {"2024-01-05", "12/31/2023", "", "2024-01-05 08:30", "1/2/2024"};
    sorter.StringArraySort(dates, "1,D");
    EXPECT_EQ(dates, (Texts{"", "12/31/2023", "1/2/2024", "2024-01-05", "2024-01-05 08:30"}));
}

TEST(StringArraySort, FailsWithoutTouchingTheArray)
{
    clsLandUnitSort sorter;
    const Texts original = {"2024-02-30", "2024-01-01"};
    Texts rows = original;
    try {
        sorter.StringArraySort(rows, "1,D");
        FAIL() << "a day that does not exist was read as a date";
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.description(), "Type mismatch: \"2024-02-30\" in column 1 is not a date");
        EXPECT_EQ(error.source(), "landsort/StringArraySort(Line 3)");
    }
    EXPECT_EQ(rows, original);

    try {
        sorter.StringArraySort(rows, "1,N|2,X");
        FAIL() << "the letter X was accepted";
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), eSecondParameterInvalid);
        EXPECT_EQ(error.description(), "2nd Parameter for column 2 MUST be R, N, S, D, I or F.");
    }
    try {
        sorter.StringArraySort(rows, "musym,N");
        FAIL() << "a column name was accepted for an array";
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), eColumnInvalid);
    }
    EXPECT_EQ(rows, original);
}
