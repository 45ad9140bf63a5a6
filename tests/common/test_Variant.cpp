#include "quillon/Variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

using qln::compare;
using qln::equals;
using qln::Variant;

TEST(Variant, NullEqualsNothingNotEvenNull)
{
    EXPECT_FALSE(equals(Variant::null(), Variant::null()));
    EXPECT_FALSE(equals(Variant::null(), Variant(0)));
    EXPECT_FALSE(equals(Variant(""), Variant::null()));
    EXPECT_FALSE(compare(Variant::null(), Variant(1)).has_value());
}

TEST(Variant, NullIsDistinctFromZeroAndEmptyText)
{
    const Variant null = Variant::null();
    EXPECT_TRUE(null.isNull());
    EXPECT_FALSE(null.number().has_value());
    EXPECT_NE(null.kind(), Variant(0).kind());
    EXPECT_NE(null.kind(), Variant("").kind());
    EXPECT_FALSE(qln::sameValue(null, Variant("")));
}

TEST(Variant, NumbersCompareNumericallyAcrossKinds)
{
    EXPECT_TRUE(equals(Variant(2), Variant(2.0)));
    EXPECT_TRUE(equals(Variant(0.5f), Variant(0.5)));
    EXPECT_EQ(*compare(Variant(9), Variant(10.5)), std::partial_ordering::less);
    EXPECT_TRUE(equals(Variant(true), Variant(-1)));
}

TEST(Variant, TextsCompareAsTexts)
{
    EXPECT_EQ(*compare(Variant("9"), Variant("10")), std::partial_ordering::greater);
    EXPECT_FALSE(equals(Variant("1.0"), Variant("1")));
    EXPECT_FALSE(equals(Variant("abc"), Variant("ABC")));
}

TEST(Variant, NumericTextAgainstNumberComparesNumerically)
{
    EXPECT_TRUE(equals(Variant("10"), Variant(10)));
    EXPECT_TRUE(equals(Variant(" 1.50 "), Variant(1.5)));
    EXPECT_EQ(*compare(Variant("9"), Variant(10)), std::partial_ordering::less);
    // A text that is no number is compared with the number's text.
    EXPECT_FALSE(equals(Variant("Poor"), Variant(0)));
}

TEST(Variant, EmptyIsEmptyTextBesideTextsAndZeroBesideNumbers)
{
    EXPECT_TRUE(equals(Variant(), Variant("")));
    EXPECT_TRUE(equals(Variant(), Variant(0)));
    EXPECT_FALSE(equals(Variant(), Variant(1)));
}

TEST(Variant, NumericValueReadsTheLeadingNumber)
{
    EXPECT_EQ(qln::numericValue("12abc"), 12.0);
    EXPECT_EQ(qln::numericValue("  -3.5e2x"), -350.0);
    EXPECT_EQ(qln::numericValue("abc"), 0.0);
    EXPECT_EQ(qln::numericValue(""), 0.0);
    EXPECT_EQ(qln::numericValue(".5"), 0.5);
    EXPECT_EQ(qln::numericValue("7e"), 7.0);
    EXPECT_TRUE(qln::isNumericText(" 42 "));
    EXPECT_FALSE(qln::isNumericText("4 2"));
    EXPECT_FALSE(qln::isNumericText("inf"));
    EXPECT_FALSE(qln::isNumericText(""));
}

TEST(Variant, TextFormsAsUsersReadThem)
{
    EXPECT_EQ(Variant(14.9f).text(), "14.9");
    EXPECT_EQ(Variant(1.0 / 3.0).text(), "0.3333333333333333");
    EXPECT_EQ(Variant(2.8).text(), "2.8");
    EXPECT_EQ(Variant(42).text(), "42");
    EXPECT_EQ(Variant(false).text(), "False");
    EXPECT_EQ(Variant::null().text(), "");
    EXPECT_EQ(Variant(qln::Date{25569.5}).text(), "1970-01-01 12:00:00");
    EXPECT_EQ(Variant(qln::Date{0}).text(), "1899-12-30");
    EXPECT_EQ(Variant(qln::Date{-1}).text(), "1899-12-29");
}

TEST(Variant, SinglesAreStoredAsTheDecimalTheyShowAndReadBackExactly)
{
    using qln::singleToDouble;
    EXPECT_EQ(singleToDouble(0.15f), 0.15);
    EXPECT_EQ(singleToDouble(0.22f), 0.22);
    EXPECT_EQ(singleToDouble(-2.7f), -2.7);
    EXPECT_EQ(singleToDouble(16777216.0f), 16777216.0);
    EXPECT_EQ(singleToDouble(0.0f), 0.0);
    EXPECT_TRUE(std::isnan(singleToDouble(std::nanf(""))));
    EXPECT_EQ(singleToDouble(-std::numeric_limits<float>::infinity()), -std::numeric_limits<float>::infinity());
    // Every float reads back as itself, across the whole range of exponents.
    std::uint32_t bits = 1;
    for (int i = 0; i < 200000; ++i) {
        bits = bits * 1664525u + 1013904223u;
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value))
            continue;
        ASSERT_EQ(static_cast<float>(singleToDouble(value)), value) << bits;
    }
    EXPECT_EQ(static_cast<float>(singleToDouble(std::numeric_limits<float>::denorm_min())),
              std::numeric_limits<float>::denorm_min());
}
