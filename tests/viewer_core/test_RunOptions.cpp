#include "quillon/viewer/RunOptions.h"

#include <gtest/gtest.h>

using namespace qln::viewer;

namespace {

// The message of the OptionError the options give, or "accepted".
std::string verdict(const RunOptions& options)
{
    try {
        checkRunOptions(options);
        return "accepted";
    } catch (const OptionError& error) {
        return error.what();
    }
}

RunOptions layer(std::optional<long> top, std::optional<long> bottom)
{
    RunOptions options;
    options.top = top;
    options.bottom = bottom;
    return options;
}

RunOptions months(std::optional<long> begin, std::optional<long> end)
{
    RunOptions options;
    options.beginMonth = begin;
    options.endMonth = end;
    return options;
}

const std::vector<MethodChoice> kOffered = {{0, "Weighted Average", false}, {3, "Dominant Soil", true}};

} // namespace

TEST(RunOptions, DepthsComeTogetherWithinSixteenBitsTopNotBelowBottom)
{
    EXPECT_EQ(verdict(layer(std::nullopt, std::nullopt)), "accepted");
    EXPECT_EQ(verdict(layer(0, 0)), "accepted");  // a layer without thickness stays allowed
    EXPECT_EQ(verdict(layer(0, 32767)), "accepted");
    EXPECT_EQ(verdict(layer(0, std::nullopt)), "The soil layer needs both a top and a bottom depth (cm), or neither.");
    EXPECT_EQ(verdict(layer(std::nullopt, 10)), "The soil layer needs both a top and a bottom depth (cm), or neither.");
    EXPECT_EQ(verdict(layer(-1, 10)), "The depth -1 is outside 0 to 32767 cm.");
    EXPECT_EQ(verdict(layer(0, 32768)), "The depth 32768 is outside 0 to 32767 cm.");
    EXPECT_EQ(verdict(layer(50, 20)), "The top depth 50 is below the bottom depth 20; the top must be at most the bottom.");
}

TEST(RunOptions, MonthsPercentRateColumnAndListForm)
{
    EXPECT_EQ(verdict(months(11, 3)), "accepted");  // wraps past December
    EXPECT_EQ(verdict(months(1, std::nullopt)), "The months need both a first and a last month, or neither.");
    EXPECT_EQ(verdict(months(0, 3)), "The month 0 is not a month; months are 1 to 12.");
    EXPECT_EQ(verdict(months(1, 13)), "The month 13 is not a month; months are 1 to 12.");

    RunOptions options;
    for (const long percent : {0L, 100L}) {
        options.ignoreBelow = percent;
        EXPECT_EQ(verdict(options), "accepted");
    }
    options.ignoreBelow = 101;
    EXPECT_EQ(verdict(options), "The percent 101 is outside 0 to 100.");
    options.ignoreBelow.reset();

    options.rate = 2;
    EXPECT_NE(verdict(options).find("The tie-break direction 2 is not"), std::string::npos);
    options.rate = -1;

    options.column = "Rating_1";
    EXPECT_EQ(verdict(options), "accepted");
    for (const char* bad : {"x;drop", "TooLongName1", "1st"}) {
        options.column = bad;
        EXPECT_NE(verdict(options).find(std::string("\"") + bad + "\""), std::string::npos) << bad;
    }
    options.column.reset();

    options.list = "Crop";
    EXPECT_EQ(verdict(options), "A list choice is LABEL=ITEM, not \"Crop\".");
}

TEST(RunOptions, WholeNumbersAreReadWithoutClampingOrTheLocale)
{
    EXPECT_EQ(parseWholeNumber("--top", " 40 "), 40);
    EXPECT_EQ(parseWholeNumber("--top", "+7"), 7);
    EXPECT_EQ(parseWholeNumber("--top", "-1"), -1);  // left to the range checks
    for (const char* text : {"", "1.5", "1,5", "4O", "--1", "0x10"}) {
        try {
            parseWholeNumber("--top", text);
            ADD_FAILURE() << text << " was read";
        } catch (const OptionError& error) {
            EXPECT_EQ(std::string(error.what()), std::string("--top takes a whole number, not \"") + text + "\".");
        }
    }
    try {
        parseWholeNumber("--bottom", "99999999999999999999");
        ADD_FAILURE();
    } catch (const OptionError& error) {
        EXPECT_STREQ(error.what(), "--bottom 99999999999999999999 is too large; it must be within 0 to 32767.");
    }
}

TEST(RunOptions, MethodsOnlyThoseTheAttributeOffers)
{
    EXPECT_EQ(chooseMethod(kOffered, std::nullopt), 3);
    EXPECT_EQ(chooseMethod(kOffered, std::string("weighted AVERAGE")), 0);
    EXPECT_EQ(chooseMethod(kOffered, std::string("3")), 3);
    EXPECT_EQ(chooseMethod({{0, "Weighted Average", false}}, std::nullopt), -1);

    for (const char* refused : {"1", "17", "-1", "Most Limiting", "3x", ""}) {
        try {
            chooseMethod(kOffered, std::string(refused));
            ADD_FAILURE() << refused << " was accepted";
        } catch (const OptionError& error) {
            EXPECT_EQ(std::string(error.what()), std::string("The method \"") + refused +
                                                     "\" is not one this attribute allows; it allows 0 Weighted "
                                                     "Average, 3 Dominant Soil.");
        }
    }
    EXPECT_THROW(chooseMethod({}, std::string("0")), OptionError);
}

TEST(RunOptions, ListChoicesOnlyFromTheAttributesLists)
{
    const std::vector<ListChoice> offered = {{"Crop", "Corn"}, {"Crop", "Corn=sweet"}, {"Crop", "Wheat"}};
    EXPECT_EQ(parseListChoice("Crop=Corn=sweet").item, "Corn=sweet");
    EXPECT_NO_THROW(checkListChoice({"Crop", "Corn=sweet"}, offered));
    try {
        checkListChoice({"Crop", "Rice"}, offered);
        ADD_FAILURE();
    } catch (const OptionError& error) {
        EXPECT_STREQ(error.what(), "\"Rice\" is not an item of the list \"Crop\"; its items are Corn, Corn=sweet, Wheat.");
    }
    try {
        checkListChoice({"Plant", "Corn"}, offered);
        ADD_FAILURE();
    } catch (const OptionError& error) {
        EXPECT_STREQ(error.what(), "The list \"Plant\" is not this attribute's; its lists are Crop.");
    }
    EXPECT_THROW(checkListChoice({"Crop", "Corn"}, {}), OptionError);
}
