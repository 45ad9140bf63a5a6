#include "Identifier.h"
#include "quillon/landsort/LandUnitSort.h"

#include <gtest/gtest.h>

using qln::landsort::clsLandUnitSort;

namespace {

std::vector<std::string> piecesOf(std::string identifier, int count)
{
    std::vector<std::string> pieces;
    for (int i = 0; i < count; ++i)
        pieces.push_back(qln::landsort::detail::ParseTheField(identifier));
    EXPECT_EQ(identifier, "");
    return pieces;
}

} // namespace

TEST(ParseTheField, SplitsDigitsFromLettersAndDropsSeparators)
{
    EXPECT_EQ(piecesOf("12A-3", 4), (std::vector<std::string>{"12", "A", "3", " "}));
    EXPECT_EQ(piecesOf("AbC.7x", 3), (std::vector<std::string>{"AbC", "7", "x"}));
    // A separator only ends a piece; at the front it is a piece of its own kind.
    EXPECT_EQ(piecesOf("-5", 2), (std::vector<std::string>{"-", "5"}));
    EXPECT_EQ(piecesOf("", 2), (std::vector<std::string>{" ", " "}));
}

TEST(CompareLandUnits, OrdersNumbersByValueAndTextsWithoutCase)
{
    const std::vector<std::pair<const char*, const char*>> ascending = {
        {"9", "10"},     {"10A", "10B"},  {"2-1", "2-10"}, {"1", "1A"},           {"12", "12-1"},
        {"10a", "10B"},  {"1", "A"},      {"3.9", "3.10"}, {"12345678901", "12345678902"},
        {"99999999999", "100000000000"},
    };
    for (const auto& [before, after] : ascending) {
        EXPECT_EQ(clsLandUnitSort::CompareLandUnits(before, after), -1) << before << " / " << after;
        EXPECT_EQ(clsLandUnitSort::CompareLandUnits(after, before), 1) << after << " / " << before;
    }
}

TEST(CompareLandUnits, PiecesEqualOnlyInCaseOrLeadingZerosGiveMinusOneBothWays)
{
    const std::vector<std::pair<const char*, const char*>> pairs = {
        {"10b", "10B"}, {"01", "1"}, {"012345678901", "12345678901"}, {"5-0a", "5-00A"}};
    for (const auto& [a, b] : pairs) {
        EXPECT_EQ(clsLandUnitSort::CompareLandUnits(a, b), -1) << a << " / " << b;
        EXPECT_EQ(clsLandUnitSort::CompareLandUnits(b, a), -1) << b << " / " << a;
    }
}

TEST(CompareLandUnits, IdentifiersEqualInTheirFirstFourPiecesAreEqual)
{
    EXPECT_EQ(clsLandUnitSort::CompareLandUnits("10B", "10B"), 0);
    EXPECT_EQ(clsLandUnitSort::CompareLandUnits("1A2B3", "1A2B4"), 0);
    EXPECT_EQ(clsLandUnitSort::CompareLandUnits("1-2", "1.2"), 0);
    EXPECT_EQ(clsLandUnitSort::CompareLandUnits("", ""), 0);
}
