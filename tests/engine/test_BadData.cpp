#include "EngineFixture.h"

#include "FieldValues.h"
#include "quillon/Error.h"

#include <cmath>
#include <limits>

using qln::Variant;
using qln::test::sameNumber;

namespace {

// Every method of a component attribute: the same bad value must stop each of them alike.
constexpr int kMethods[] = {0, 1, 2, 3, 4, 5, 6};

class BadData : public qln::test::EngineFixture {
protected:
    // The error a run ends with, or an error numbered 0 when it ends normally.
    qln::EngineError runError(const std::map<std::string, Variant>& overrides, const std::vector<std::string>& keys)
    {
        try {
            rate(overrides, keys);
        } catch (const qln::EngineError& error) {
            return error;
        }
        return qln::EngineError(0, "", "<no error>");
    }

    void expectRefusedByEveryMethod(std::int64_t number, const std::vector<std::string>& words)
    {
        for (const int method : kMethods) {
            const auto error = runError({{"Algorithm", method}, {"TopDepth", 0}, {"BotDepth", 50}}, {"10"});
            EXPECT_EQ(error.number(), number) << "method " << method << ": " << error.description();
            for (const auto& word : words)
                EXPECT_NE(error.description().find(word), std::string::npos)
                    << "method " << method << ": " << error.description();
        }
    }
};

std::int64_t numberOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const qln::EngineError& error) {
        return error.number();
    }
    return 0;
}

constexpr std::int64_t kTypeMismatch = 0x80040205;
constexpr std::int64_t kNotFinite = 0x80040206;
constexpr std::int64_t kOverflow = 0x80040207;

} // namespace

TEST(Conversions, SixteenBitIntegersRoundHalvesToEvenAndOverflowOutsideTheirRange)
{
    using qln::engine::toInteger16;
    EXPECT_EQ(toInteger16(2.5, "x"), 2);
    EXPECT_EQ(toInteger16(3.5, "x"), 4);
    EXPECT_EQ(toInteger16(-2.5, "x"), -2);
    EXPECT_EQ(toInteger16(2.6, "x"), 3);
    EXPECT_EQ(toInteger16("12", "x"), 12);
    EXPECT_EQ(toInteger16(32767.4, "x"), 32767);
    EXPECT_EQ(toInteger16(-32768.5, "x"), -32768);
    EXPECT_EQ(numberOf([] { toInteger16(32767.5, "x"); }), kOverflow);
    EXPECT_EQ(numberOf([] { toInteger16(-32769, "x"); }), kOverflow);
    EXPECT_EQ(numberOf([] { toInteger16(1e300, "x"); }), kOverflow);
}

TEST(Conversions, NullTextsAndNonFiniteValuesAreNoNumbers)
{
    using qln::engine::requireNumber;
    EXPECT_EQ(requireNumber(" 1.5 ", "x"), 1.5);
    EXPECT_EQ(numberOf([] { requireNumber(Variant::null(), "x"); }), kTypeMismatch);
    EXPECT_EQ(numberOf([] { requireNumber("12abc", "x"); }), kTypeMismatch);
    EXPECT_EQ(numberOf([] { requireNumber("inf", "x"); }), kTypeMismatch);
    EXPECT_EQ(numberOf([] { requireNumber(std::numeric_limits<double>::infinity(), "x"); }), kNotFinite);
    EXPECT_EQ(numberOf([] { requireNumber(-std::numeric_limits<double>::infinity(), "x"); }), kNotFinite);
    EXPECT_EQ(numberOf([] { requireNumber(std::nan(""), "x"); }), kNotFinite);
    EXPECT_EQ(numberOf([] { requireNumber(std::numeric_limits<float>::quiet_NaN(), "x"); }), kNotFinite);
    try {
        requireNumber("steep", "component.slope_r");
        FAIL();
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.description(), "The value 'steep' of component.slope_r is not a number.");
    }
}

TEST_F(BadData, TextInANumericColumnStopsEveryMethodNamingTableColumnAndKey)
{
    if (onServer())
        GTEST_SKIP() << "a server column of a number type holds no text";
    addAttribute({});
    soilsSql("INSERT INTO mapunit VALUES ('A','Unit','L1','10');"
             "INSERT INTO component (comppct_r, slope_r, mukey, cokey) VALUES (60,'steep','10','C1'),(40,3,'10','C2');");
    expectRefusedByEveryMethod(kTypeMismatch, {"'steep'", "component.slope_r", "cokey 'C1'"});
}

TEST_F(BadData, TextInANumericHorizonColumnOrDepthStopsEveryMethod)
{
    if (onServer())
        GTEST_SKIP() << "a server column of a number type holds no text";
    addAttribute({{"TelvaTable", "'chorizon'"}, {"AttrColText", "'claytotal_r'"},
                  {"TieBreakColText", "'claytotal_r'"}, {"SoilLayerOptions", "1"}});
    soilsSql("INSERT INTO mapunit VALUES ('A','Unit','L1','10');"
             "INSERT INTO component (comppct_r, mukey, cokey) VALUES (100,'10','C1');"
             "INSERT INTO chorizon (hzdept_r, hzdepb_r, claytotal_r, cokey, chkey) VALUES "
             "(0,20,12,'C1','H1'), (20,40,'n/a','C1','H2');");
    expectRefusedByEveryMethod(kTypeMismatch, {"'n/a'", "chorizon.claytotal_r", "cokey 'C1'"});
    soilsSql("UPDATE chorizon SET claytotal_r=15, hzdepb_r='deep' WHERE chkey='H2';");
    expectRefusedByEveryMethod(kTypeMismatch, {"'deep'", "chorizon.hzdepb_r", "cokey 'C1'"});
}

TEST_F(BadData, InfiniteValuesStopEveryMethodAndNeverReachTheOutput)
{
    addAttribute({});
    soilsSql("INSERT INTO mapunit VALUES ('A','Unit','L1','10');"
             "INSERT INTO component (comppct_r, slope_r, mukey, cokey) VALUES (60,3,'10','C1'),(40,-9e999,'10','C2');");
    expectRefusedByEveryMethod(kNotFinite, {"component.slope_r", "cokey 'C2'", "not a finite number"});

    // Finite values whose weighted sum overflows are refused too.
    soilsSql("UPDATE component SET slope_r=1.7e308;");
    rulesSql("UPDATE Attributes SET DBFType='double';");
    const auto error = runError({{"Algorithm", 0}}, {"10"});
    EXPECT_EQ(error.number(), kNotFinite) << error.description();
    EXPECT_NE(error.description().find("map unit 10"), std::string::npos) << error.description();
}

TEST_F(BadData, ARoundingFactorThatIsNotAFiniteNumberStopsTheRun)
{
    soilsSql("INSERT INTO mapunit VALUES ('A','Unit','L1','10');"
             "INSERT INTO component (comppct_r, slope_r, mukey, cokey) VALUES (100,1.234567,'10','C1');");
    addAttribute({{"RoundNumbers", "5"}});
    EXPECT_TRUE(sameNumber(rate({{"Algorithm", 0}}, {"10"})["10"], 1.23456));
    for (const char* places : {"400", "-400"}) {
        rulesSql(std::string("UPDATE Attributes SET RoundNumbers=") + places + ";");
        for (const int method : kMethods) {
            const auto error = runError({{"Algorithm", method}}, {"10"});
            EXPECT_EQ(error.number(), kNotFinite) << places << " " << method << ": " << error.description();
            EXPECT_NE(error.description().find("Attributes.RoundNumbers"), std::string::npos);
        }
    }
    rulesSql("UPDATE Attributes SET RoundNumbers=40000;");
    EXPECT_EQ(runError({{"Algorithm", 3}}, {"10"}).number(), kOverflow);
    rulesSql("UPDATE Attributes SET RoundNumbers='two';");
    EXPECT_EQ(runError({{"Algorithm", 3}}, {"10"}).number(), kTypeMismatch);
}

TEST_F(BadData, UserDataNumbersAreReadOnceByOneRule)
{
    addAttribute({});
    soilsSql("INSERT INTO mapunit VALUES ('A','Unit','L1','10');"
             "INSERT INTO component (comppct_r, slope_r, mukey, cokey) VALUES (98,10,'10','C1'),(2,60,'10','C2');");
    // A cut-off of 2.5 is 2 and keeps the 2 percent component; 3.5 is 4 and drops it.
    EXPECT_TRUE(sameNumber(rate({{"Algorithm", 0}, {"IgnPct", 2.5}}, {"10"})["10"], 11.0));
    EXPECT_TRUE(sameNumber(rate({{"Algorithm", 0}, {"IgnPct", 3.5}}, {"10"})["10"], 10.0));
    EXPECT_TRUE(sameNumber(rate({{"Algorithm", 0}, {"IgnPct", "3"}}, {"10"})["10"], 10.0));

    const std::vector<std::pair<std::map<std::string, Variant>, std::pair<std::int64_t, std::string>>> faults = {
        {{{"IgnPct", "some"}}, {kTypeMismatch, "UserData.IgnPct"}},
        {{{"IgnPct", 40000}}, {kOverflow, "UserData.IgnPct"}},
        {{{"TopDepth", Variant::null()}}, {kTypeMismatch, "UserData.TopDepth is Null"}},
        {{{"Rate", "high"}}, {kTypeMismatch, "UserData.Rate"}},
        {{{"Algorithm", "3x"}}, {kTypeMismatch, "UserData.Algorithm"}},
        {{{"Multipliers", "*slope_r|half"}}, {kTypeMismatch, "factor 2 of UserData.Multipliers"}},
    };
    for (const auto& [overrides, expected] : faults) {
        auto all = overrides;
        all.try_emplace("Algorithm", 0);
        const auto error = runError(all, {"10"});
        EXPECT_EQ(error.number(), expected.first) << error.description();
        EXPECT_NE(error.description().find(expected.second), std::string::npos) << error.description();
    }
}

TEST_F(BadData, AMapUnitAttributeNeverReadsTheMethodCode)
{
    addAttribute({{"TelvaTable", "'mapunit'"}, {"AttrColText", "'muname'"}, {"TieBreakColText", "'muname'"},
                  {"DBFType", "'text'"}, {"TieBreak", "NULL"}});
    soilsSql("INSERT INTO mapunit VALUES ('A','Unit','L1','10');");
    EXPECT_EQ(rate({{"Algorithm", "none"}}, {"10"})["10"].text(), "Unit");
}

TEST_F(BadData, InvertedHorizonsAreOfUnknownDepthAndCounted)
{
    addAttribute({{"TelvaTable", "'chorizon'"}, {"AttrColText", "'awc_r'"}, {"TieBreakColText", "'awc_r'"},
                  {"SoilLayerOptions", "1"}, {"RoundNumbers", "2"}});
    soilsSql("INSERT INTO mapunit VALUES ('A','Sound','L1','10'), ('B','Inverted','L1','11');"
             "INSERT INTO component (comppct_r, mukey, cokey) VALUES (100,'10','C1'), (100,'11','C2');"
             "INSERT INTO chorizon (hzdept_r, hzdepb_r, awc_r, cokey, chkey) VALUES "
             "(0,30,2,'C1','H1'), (30,100,4,'C1','H2'),"
             "(0,30,2,'C2','H3'), (40,20,4,'C2','H4'), (45,35,5,'C2','H5');");
    // Over a layer the Null-depth rule applies: the component's depth-weighted sum is 0.
    auto ratings = rate({{"Algorithm", 0}, {"TopDepth", 0}, {"BotDepth", 50}}, {"10", "11"});
    EXPECT_TRUE(sameNumber(ratings["10"], 2.8));
    EXPECT_TRUE(sameNumber(ratings["11"], 0.0));
    EXPECT_EQ(engine.invertedHorizons().count, 2);
    EXPECT_EQ(engine.invertedHorizons().first, "cokey 'C2': hzdept_r 40, hzdepb_r 20");

    ratings = rate({{"Algorithm", 3}, {"TopDepth", 0}, {"BotDepth", 50}}, {"11"});
    EXPECT_TRUE(sameNumber(ratings["11"], 0.0));
    EXPECT_EQ(engine.invertedHorizons().count, 2);

    // Without a layer depths are not weighed, yet the horizons are still counted.
    rulesSql("UPDATE Attributes SET SoilLayerOptions=0;");
    ratings = rate({{"Algorithm", 1}}, {"11"});
    EXPECT_TRUE(sameNumber(ratings["11"], 5.0));
    EXPECT_EQ(engine.invertedHorizons().count, 2);

    rate({{"Algorithm", 0}, {"TopDepth", 0}, {"BotDepth", 50}}, {"10"});
    EXPECT_EQ(engine.invertedHorizons().count, 0);
    EXPECT_EQ(engine.invertedHorizons().first, "");
}
