#include "EngineFixture.h"

#include "DataProcessing.h"
#include "quillon/Error.h"

using qln::Variant;
using qln::test::sameNumber;

namespace {

class WeightedAverage : public qln::test::EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        soilsSql(R"sql(
INSERT INTO mapunit VALUES ('A','Two values','L1','10'), ('B','One Null','L1','11'), ('C','Layered','L1','13'),
  ('D','Multiplied','L1','14');
INSERT INTO component (comppct_r, slope_r, mukey, cokey) VALUES (60,10,'10','100'), (40,20,'10','101'),
  (60,10,'11','110'), (40,NULL,'11','111'), (100,NULL,'13','130'), (100,NULL,'14','140');
INSERT INTO chorizon (hzdept_r, hzdepb_r, awc_r, om_r, cokey, chkey) VALUES (0,30,2,0.2,'130','1'),
  (30,100,4,0.2,'130','2'), (60,200,9,0.2,'130','3'), (0,50,10,0.2,'140','4'), (50,80,10,NULL,'140','5');
)sql");
    }
};

} // namespace

TEST_F(WeightedAverage, SharesOfTheMapUnitWithNullsRescaledOrCountedAsZero)
{
    addAttribute({{"RoundNumbers", "3"}});
    auto ratings = rate({{"Algorithm", 0}}, {"10", "11"});
    EXPECT_TRUE(sameNumber(ratings["10"], 14.0));
    EXPECT_TRUE(sameNumber(ratings["11"], 10.0));  // 6 spread over the rated 60 percent
    ratings = rate({{"Algorithm", 0}, {"SetNullsZero", true}}, {"11"});
    EXPECT_TRUE(sameNumber(ratings["11"], 6.0));
    ratings = rate({{"Algorithm", 0}, {"SetNullsZero", true}, {"IgnPct", 50}}, {"10"});
    EXPECT_TRUE(sameNumber(ratings["10"], 10.0));  // the 40 percent below the cut-off is spread too
}

TEST_F(WeightedAverage, HorizonsWeightedByTheirShareOfTheLayer)
{
    addAttribute({{"TelvaTable", "'chorizon'"}, {"AttrColText", "'awc_r'"}, {"TieBreakColText", "'awc_r'"},
                  {"SoilLayerOptions", "1"}, {"RoundNumbers", "2"}});
    const auto ratings = rate({{"Algorithm", 0}, {"TopDepth", 0}, {"BotDepth", 50}}, {"13"});
    EXPECT_TRUE(sameNumber(ratings.at("13"), 2.8));  // 2 x 30/50 + 4 x 20/50
    EXPECT_EQ(lastResults.field(2).type, qln::ado::adSingle);
}

TEST_F(WeightedAverage, MultipliersScaleEachHorizonAndANullOneVoidsTheSum)
{
    addAttribute({{"TelvaTable", "'chorizon'"}, {"AttrColText", "'awc_r'"}, {"TieBreakColText", "'awc_r'"},
                  {"SoilLayerOptions", "1"}, {"WAMultipliers", "'*om_r|0.5'"}, {"RoundNumbers", "2"}});
    auto ratings = rate({{"Algorithm", 0}, {"TopDepth", 0}, {"BotDepth", 40}, {"Multipliers", "*om_r|0.5"}}, {"14"});
    EXPECT_TRUE(sameNumber(ratings.at("14"), 1.0));  // 10 x (0.2 x 0.5) x the whole layer
    ratings = rate({{"Algorithm", 0}, {"TopDepth", 0}, {"BotDepth", 60}, {"Multipliers", "*om_r|0.5"}}, {"14"});
    EXPECT_TRUE(sameNumber(ratings.at("14"), 0.0));  // the 50-80 horizon's om_r is Null
}

TEST_F(WeightedAverage, ALayerWithoutThicknessIsAClearError)
{
    addAttribute({{"TelvaTable", "'chorizon'"}, {"AttrColText", "'awc_r'"}, {"TieBreakColText", "'awc_r'"},
                  {"SoilLayerOptions", "1"}});
    // A layer at one depth still rates the horizon reaching below it...
    EXPECT_TRUE(sameNumber(rate({{"Algorithm", 0}, {"TopDepth", 30}, {"BotDepth", 30}}, {"13"}).at("13"), 4.0));
    // ...but a horizon as thin as the layer cannot be weighted.
    soilsSql("INSERT INTO chorizon (hzdept_r, hzdepb_r, awc_r, cokey, chkey) VALUES (30,30,1,'130','9');");
    try {
        rate({{"Algorithm", 0}, {"TopDepth", 30}, {"BotDepth", 30}}, {"13"});
        FAIL() << "no error";
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), 0x80040204);
        EXPECT_NE(error.description().find("30 to 30 cm"), std::string::npos);
        EXPECT_EQ(error.source().rfind("ProcessData(Line 9)/ProcessMapunits(Line 4)/ProcessWeightedAverage(", 0), 0u)
            << error.source();
    }
}

TEST(DepthFraction, EveryCaseOfTheLayerTable)
{
    auto fraction = [](Variant top, Variant bottom) {
        qln::ado::Recordset horizon;
        horizon.appendField("hzdept_r", qln::ado::adInteger);
        horizon.appendField("hzdepb_r", qln::ado::adInteger);
        horizon.open();
        horizon.addNew();
        horizon.setValue(0, top);
        horizon.setValue(1, bottom);
        qln::engine::RunInputs layer;
        layer.topDepth = 20;
        layer.botDepth = 60;
        return qln::engine::CalculateMultiplier(horizon, layer);
    };
    EXPECT_TRUE(sameNumber(fraction(0, 100), 1.0));
    EXPECT_TRUE(sameNumber(fraction(0, 20), 0.0));
    EXPECT_TRUE(sameNumber(fraction(0, 40), 0.5));
    EXPECT_TRUE(sameNumber(fraction(20, 100), 1.0));
    EXPECT_TRUE(sameNumber(fraction(60, 100), 0.0));
    EXPECT_TRUE(sameNumber(fraction(40, 100), 0.5));
    EXPECT_TRUE(sameNumber(fraction(30, 50), 0.5));
    EXPECT_TRUE(fraction(Variant::null(), 50).isNull());
}

TEST(Rounding, FloorsToTheKeptPlaces)
{
    const auto RoundRating = [](const Variant& rating, const Variant& places) {
        return qln::engine::RoundRating(rating, qln::engine::RoundingFactor(places, "RoundNumbers"));
    };
    EXPECT_TRUE(sameNumber(RoundRating(14.9, 0), 14.0));
    EXPECT_TRUE(sameNumber(RoundRating(2.79, Variant::null()), 2.7));
    EXPECT_TRUE(sameNumber(RoundRating(-2.71, 1), -2.8));
    EXPECT_TRUE(sameNumber(RoundRating(Variant(14.9f), 1), 14.9));  // not 14.8 from float noise
    EXPECT_TRUE(sameNumber(RoundRating(0.29, 2), 0.29));
    EXPECT_TRUE(sameNumber(RoundRating(1234.5, -2), 1200.0));
    EXPECT_TRUE(RoundRating(Variant::null(), 1).isNull());
    EXPECT_EQ(RoundRating("Poor", 1).text(), "Poor");
}
