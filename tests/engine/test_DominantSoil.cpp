#include "EngineFixture.h"

using qln::Variant;
using qln::test::sameNumber;

namespace {

class DominantSoil : public qln::test::EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        soilsSql(R"sql(
INSERT INTO mapunit VALUES ('A','Tie','L1','20'), ('B','Equal keys','L1','21'), ('C','Smaller second','L1','22'),
  ('D','Null first','L1','23'), ('E','Rounding','L1','24'), ('F','Horizons','L1','25'), ('G','No components','L1','26'),
  ('H','Pit','L1','27'), ('I','Pit tied with a soil','L1','28'), ('J','Clay unknown','L1','29');
INSERT INTO component (comppct_r, slope_r, mukey, cokey) VALUES (40,3,'20','200'), (40,5,'20','201'), (20,9,'20','202'),
  (40,7,'21','210'), (40,7,'21','211'), (40,1,'22','220'), (35,99,'22','221'), (50,NULL,'23','230'),
  (50,4,'23','231'), (100,3.46,'24','240'), (100,NULL,'25','250'), (100,NULL,'27','270'), (50,NULL,'28','280'),
  (50,NULL,'28','281'), (100,NULL,'29','290');
INSERT INTO chorizon (hzdept_r, hzdepb_r, claytotal_r, awc_r, cokey, chkey) VALUES (0,20,10,0.1,'250','1'),
  (20,50,35,0.2,'250','2'), (50,80,20,0.3,'250','3'), (0,50,15,NULL,'281','4'),
  (0,50,NULL,0.1,'290','5');
)sql");
    }

    std::string cokeyOf(const std::string& mukey)
    {
        for (lastResults.moveFirst(); !lastResults.eof(); lastResults.moveNext()) {
            if (lastResults.value("mukey").text() == mukey)
                return lastResults.value("cokey").text();
        }
        return "<none>";
    }
};

} // namespace

TEST_F(DominantSoil, TiesAmongTheLargestPercentFollowTheDirection)
{
    addAttribute({});
    auto ratings = rate({}, {"20", "21", "22"});
    EXPECT_TRUE(sameNumber(ratings["20"], 5.0));
    EXPECT_EQ(cokeyOf("20"), "201");
    EXPECT_EQ(cokeyOf("21"), "210");  // an equal key never replaces the first
    EXPECT_TRUE(sameNumber(ratings["22"], 1.0));  // 35 percent is never considered
    EXPECT_EQ(lastResults.field(4).name, "NumComponents");
    EXPECT_EQ(lastResults.value("NumComponents").integer(), 1);

    ratings = rate({{"Rate", -1}}, {"20"});  // the run's direction overrides the attribute's
    EXPECT_TRUE(sameNumber(ratings["20"], 3.0));
    EXPECT_EQ(cokeyOf("20"), "200");
}

TEST_F(DominantSoil, ATiedComponentWithAValueReplacesANullFirst)
{
    addAttribute({});
    const auto ratings = rate({}, {"23"});
    EXPECT_TRUE(sameNumber(ratings.at("23"), 4.0));
    EXPECT_EQ(cokeyOf("23"), "231");
}

TEST_F(DominantSoil, RoundingOnlyForSinglePrecisionColumns)
{
    addAttribute({{"RoundNumbers", "1"}, {"DBFType", "'SINGLE'"}});
    EXPECT_TRUE(sameNumber(rate({}, {"24"}).at("24"), 3.4));
    EXPECT_EQ(lastResults.field(2).type, qln::ado::adSingle);
    EXPECT_EQ(lastResults.field(2).definedSize, 0);
    rulesSql("UPDATE Attributes SET DBFType='text', DefinedSize=12;");
    EXPECT_TRUE(sameNumber(rate({}, {"24"}).at("24"), 3.46));
    EXPECT_EQ(lastResults.field(2).type, qln::ado::adDouble);
    EXPECT_EQ(lastResults.field(2).definedSize, 12);
}

TEST_F(DominantSoil, HorizonAttributesTakeTheCriticalHorizonOrTheLayerSum)
{
    addAttribute({{"TelvaTable", "'chorizon'"}, {"AttrColText", "'claytotal_r'"}, {"TieBreakColText", "'claytotal_r'"},
                  {"SoilLayerOptions", "1"}, {"RoundNumbers", "2"}});
    // Without a layer the horizon query keeps nothing, so nothing is rated.
    EXPECT_TRUE(rate({}, {"25"}).empty());
    EXPECT_TRUE(sameNumber(rate({{"TopDepth", 0}, {"BotDepth", 200}, {"Rate", 1}}, {"25"}).at("25"), 35.0));
    EXPECT_TRUE(sameNumber(rate({{"TopDepth", 0}, {"BotDepth", 200}, {"Rate", -1}}, {"25"}).at("25"), 10.0));
    // Rate 0 with a layer: the depth-weighted sum, 10 x 20/50 + 35 x 30/50.
    EXPECT_TRUE(sameNumber(rate({{"TopDepth", 0}, {"BotDepth", 50}}, {"25"}).at("25"), 25.0));

    // A dominant component with no value in the layer (no horizons, or only Null ones) has no
    // rating, not 0, even with nulls as zero; tied with a soil that has one, the soil wins.
    for (const bool nullsZero : {false, true}) {
        const auto ratings = rate({{"TopDepth", 0}, {"BotDepth", 50}, {"SetNullsZero", nullsZero}}, {"27", "28", "29"});
        EXPECT_EQ(ratings.count("27"), 0u) << nullsZero;
        EXPECT_EQ(ratings.count("29"), 0u) << nullsZero;
        ASSERT_EQ(ratings.count("28"), 1u) << nullsZero;
        EXPECT_TRUE(sameNumber(ratings.at("28"), 15.0));
        EXPECT_EQ(cokeyOf("28"), "281");
    }
    // A horizon with a value but no multiplier still voids the sum to 0, a rating.
    const auto voided = rate({{"TopDepth", 0}, {"BotDepth", 50}, {"Multipliers", "*awc_r"}}, {"28"});
    ASSERT_EQ(voided.count("28"), 1u);
    EXPECT_TRUE(sameNumber(voided.at("28"), 0.0));
}

TEST_F(DominantSoil, NoComponentsGivesNoRowEvenWithNullsAsZero)
{
    addAttribute({});
    EXPECT_TRUE(rate({{"SetNullsZero", true}}, {"26"}).empty());
    EXPECT_EQ(lastResults.fieldCount(), 5);
}
