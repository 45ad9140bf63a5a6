#include "EngineFixture.h"

#include "DataProcessing.h"
#include "quillon/Tokens.h"

using qln::Variant;
using qln::test::sameNumber;

namespace {

class Methods : public qln::test::EngineFixture {
protected:
    // Adds a map unit with components given as (percent, value, key) triples, keys 'mukey'+n.
    void addUnit(const std::string& mukey, const std::vector<std::tuple<Variant, Variant, Variant>>& components)
    {
        std::string sql = "INSERT INTO mapunit VALUES ('S" + mukey + "','Unit','L1','" + mukey + "');";
        int n = 0;
        for (const auto& [percent, value, key] : components) {
            auto literal = [](const Variant& v) {
                return v.isNull() ? std::string("NULL") : v.isText() ? "'" + v.str() + "'" : v.text();
            };
            sql += "INSERT INTO component (comppct_r, drainagecl, hydricrating, slope_r, mukey, cokey) VALUES (" +
                   literal(percent) + "," + literal(value) + "," + literal(value) + "," + literal(key) + ",'" + mukey +
                   "','" + mukey + std::to_string(n++) + "');";
        }
        soilsSql(sql);
    }

    std::string field(const std::string& mukey, const char* name)
    {
        for (lastResults.moveFirst(); !lastResults.eof(); lastResults.moveNext()) {
            if (lastResults.value("mukey").text() == mukey)
                return lastResults.value(name).text();
        }
        return "<no row>";
    }
};

const Variant null = Variant::null();

} // namespace

TEST_F(Methods, DominantConditionAddsThePercentsOfEqualValues)
{
    addAttribute({{"AttrColText", "'drainagecl'"}, {"DBFType", "'text'"}});
    addUnit("40", {{40, "Well", 1}, {35, "Poor", 2}, {25, "Poor", 3}});
    addUnit("41", {{50, "Well", 3}, {50, "Poor", 5}});
    addUnit("42", {{50, "Well", 4}, {50, "Poor", 4}});
    addUnit("43", {{30, null, 1}, {30, null, 1}, {40, "Poor", 1}});
    addUnit("44", {{60, null, 1}, {40, "Poor", 1}});
    addUnit("45", {{null, "Well", 1}});
    const auto ratings = rate({{"Algorithm", 4}}, {"40", "41", "42", "43", "44", "45"});
    EXPECT_EQ(ratings.at("40").text(), "Poor");
    EXPECT_EQ(field("40", "cokey"), "401|402");
    EXPECT_EQ(field("40", "NumComponents"), "2");
    EXPECT_EQ(ratings.at("41").text(), "Poor");  // equal shares: the larger key wins
    EXPECT_EQ(ratings.at("42").text(), "Well");  // equal keys too: the condition met first
    EXPECT_EQ(ratings.at("43").text(), "Poor");  // Nulls never add up
    EXPECT_EQ(ratings.count("44"), 0u);          // a Null condition won
    EXPECT_EQ(ratings.count("45"), 0u);          // no percent at all
}

TEST_F(Methods, DominantConditionKeepsEveryComponentKeyAndRoundsSingles)
{
    addAttribute({{"RoundNumbers", "2"}});
    std::vector<std::tuple<Variant, Variant, Variant>> many(150, {1, "Same", 1.239});
    addUnit("46", many);
    const auto ratings = rate({{"Algorithm", 4}}, {"46"});
    EXPECT_TRUE(sameNumber(ratings.at("46"), 1.23));
    EXPECT_EQ(field("46", "NumComponents"), "150");
    EXPECT_EQ(qln::CountTokens(field("46", "cokey"), "|"), 150);
}

TEST_F(Methods, MostAndLeastLimitingFollowTheDirection)
{
    addAttribute({{"RoundNumbers", "0"}});
    addUnit("50", {{50, null, 3}, {30, null, 7.9}, {20, null, 5}});
    auto ratings = rate({{"Algorithm", 1}}, {"50"});
    EXPECT_TRUE(sameNumber(ratings.at("50"), 7.0));  // 7.9 floored to no decimals
    EXPECT_EQ(field("50", "cokey"), "501");
    rate({{"Algorithm", 2}}, {"50"});
    EXPECT_EQ(field("50", "cokey"), "500");
    rate({{"Algorithm", 1}, {"IgnPct", 25}}, {"50"});
    EXPECT_EQ(field("50", "cokey"), "501");

    rulesSql("UPDATE Attributes SET TieBreak=-1;");
    rate({{"Algorithm", 1}}, {"50"});
    EXPECT_EQ(field("50", "cokey"), "500");
    rate({{"Algorithm", 2}}, {"50"});
    EXPECT_EQ(field("50", "cokey"), "501");
}

TEST_F(Methods, LeastLimitingTakesANullKeyAndKeepsIt)
{
    addAttribute({});
    addUnit("51", {{50, null, 3}, {30, null, null}, {20, null, 1}});
    rate({{"Algorithm", 2}}, {"51"});
    EXPECT_EQ(field("51", "cokey"), "<no row>");  // the Null key's value, Null, is the rating
    addUnit("52", {{50, null, 3}, {30, null, 7}, {20, null, 7}});
    rate({{"Algorithm", 2}}, {"52"});
    EXPECT_EQ(field("52", "cokey"), "520");  // 7 is more critical than 3 either time
    rate({{"Algorithm", 1}}, {"52"});
    EXPECT_EQ(field("52", "cokey"), "521");  // most limiting keeps the earliest of equal keys
}

TEST_F(Methods, LimitingHorizonAttributesUseTheirCriticalHorizon)
{
    addAttribute({{"TelvaTable", "'chorizon'"}, {"AttrColText", "'claytotal_r'"}, {"TieBreakColText", "'claytotal_r'"},
                  {"SoilLayerOptions", "1"}});
    addUnit("53", {{60, null, null}, {40, null, null}});
    soilsSql("INSERT INTO chorizon (hzdept_r, hzdepb_r, claytotal_r, cokey, chkey) VALUES (0,10,2,'530','a'),"
             "(10,20,6,'530','b'), (20,30,4,'530','c'), (0,30,5,'531','d');");
    auto ratings = rate({{"Algorithm", 1}, {"TopDepth", 0}, {"BotDepth", 100}}, {"53"});
    EXPECT_TRUE(sameNumber(ratings.at("53"), 6.0));
    ratings = rate({{"Algorithm", 2}, {"TopDepth", 0}, {"BotDepth", 100}}, {"53"});
    EXPECT_TRUE(sameNumber(ratings.at("53"), 5.0));
}

TEST_F(Methods, AbsencePresenceClasses)
{
    addAttribute({{"AttrColText", "'hydricrating'"}, {"DBFType", "'text'"}});
    addUnit("60", {{60, "Yes", null}, {40, " yes ", null}});
    addUnit("61", {{60, "No", null}, {40, "no", null}});
    addUnit("62", {{60, "yes", null}, {40, "no", null}});
    addUnit("63", {{60, "yes", null}, {30, "yes", null}});
    addUnit("64", {{60, "no", null}, {30, "no", null}});
    addUnit("65", {{60, "no", null}, {40, null, null}});
    soilsSql("INSERT INTO mapunit VALUES ('S66','Empty','L1','66');");
    const auto ratings = rate({{"Algorithm", 5}}, {"60", "61", "62", "63", "64", "65", "66"});
    EXPECT_EQ(ratings.at("60").text(), "All Hydric");
    EXPECT_EQ(ratings.at("61").text(), "Not Hydric");
    EXPECT_EQ(ratings.at("62").text(), "Partially Hydric");
    EXPECT_EQ(ratings.at("63").text(), "Partially Hydric");
    EXPECT_EQ(ratings.at("64").text(), "Unknown Hydric");
    EXPECT_EQ(ratings.at("65").text(), "Unknown Hydric");
    EXPECT_EQ(ratings.at("66").text(), "Unknown Hydric");
}

TEST_F(Methods, AllComponentsTakesTheExtreme)
{
    addAttribute({{"RoundNumbers", "1"}});
    addUnit("70", {{50, null, 4}, {30, null, 12.37}, {20, null, 6}});
    addUnit("71", {{50, null, 4}, {30, null, 4}});
    auto ratings = rate({{"Algorithm", 6}}, {"70"});
    EXPECT_TRUE(sameNumber(ratings.at("70"), 12.3));
    ratings = rate({{"Algorithm", 6}, {"Rate", -1}}, {"70"});
    EXPECT_TRUE(sameNumber(ratings.at("70"), 4.0));
    ratings = rate({{"Algorithm", 6}, {"IgnPct", 40}}, {"70"});
    EXPECT_TRUE(sameNumber(ratings.at("70"), 4.0));  // the extreme is below the cut-off
}

TEST_F(Methods, AllComponentsNullKeysWithNullsAsZeroAndAllNullsNoData)
{
    addAttribute({{"AttrColText", "'drainagecl'"}, {"DBFType", "'text'"}, {"TieBreak", "-1"}});
    addUnit("72", {{50, "Low", -3}, {30, null, null}});
    addUnit("73", {{50, "Low", -3}, {30, "Mid", null}});
    addUnit("74", {{50, null, null}, {30, null, null}});
    auto ratings = rate({{"Algorithm", 6}, {"SetNullsZero", true}}, {"72", "73", "74"});
    EXPECT_EQ(ratings.at("72").text(), "0");    // a Null key wins outright with nulls as zero
    EXPECT_EQ(ratings.at("73").text(), "Mid");  // ...carrying its own value when it has one
    EXPECT_EQ(ratings.at("74").text(), "0");
    rulesSql("UPDATE Attributes SET AllNullsNoData=1;");
    ratings = rate({{"Algorithm", 6}, {"SetNullsZero", true}}, {"72", "74"});
    EXPECT_EQ(ratings.count("74"), 0u);
    EXPECT_EQ(ratings.at("72").text(), "0");
}
