#include "EngineFixture.h"

#include "modShapeFuncs.h"
#include "quillon/ado/Connection.h"

using qln::Variant;

namespace {

const std::string kLegend =
    "SHAPE {SELECT legend.lkey,legend.areasymbol,legend.areaname,distlegendmd.ssastatus,distlegendmd.cordate,"
    "distgendate FROM legend,distlegendmd,distmd WHERE distlegendmd.lkey=legend.lkey   AND "
    "distlegendmd.distmdkey=distmd.distmdkey} AS cmdlegend APPEND ";

class ShapeText : public qln::test::EngineFixture {
protected:
    std::string commandFor(const std::map<std::string, Variant>& userOverrides, const std::vector<std::string>& keys)
    {
        qln::ado::Connection connection;
        connection.setConnectionString(soilsConnect() + "Provider=MSDASQL.1;");
        connection.open();
        auto attr = engine.GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='attr'");
        auto data = userData(userOverrides);
        auto units = mapunits(keys);
        return qln::engine::SetAdoTelvaRS(engine, connection, attr, data, units);
    }
};

} // namespace

TEST_F(ShapeText, HorizonAttributeWithEveryFilter)
{
    addAttribute({{"TelvaTable", "'chorizon'"}, {"AttrColText", "'claytotal_r'"}, {"TieBreakColText", "'awc_r'"},
                  {"SoilLayerOptions", "1"}, {"OptionList", "1"}, {"WAMultipliers", "'*om_r|0.5'"},
                  {"SQLWhere", "'claytotal_r>0'"}});
    rulesSql("INSERT INTO OptionList VALUES ('attr','Organic','SELECT DISTINCT om_r FROM chorizon','om_r');");
    const std::string command = commandFor({{"TopDepth", 0}, {"BotDepth", 50}, {"IgnPct", 15},
                                            {"ListName", "Organic"}, {"ItemSelected", "x'y"}},
                                           {"10", "11"});
    EXPECT_EQ(command,
              kLegend +
                  "((SHAPE {SELECT lkey,mukey,musym,muname FROM mapunit WHERE mapunit.mukey IN ('10','11')} AS cmdmapunit "
                  "APPEND ((SHAPE {SELECT mukey,cokey,comppct_r FROM component WHERE component.comppct_r>=15 ORDER BY "
                  "comppct_r DESC} AS cmdcomponent APPEND ({SELECT cokey,hzdept_r,hzdepb_r,om_r,awc_r,om_r, claytotal_r "
                  "FROM chorizon WHERE (hzdepb_r>=0 AND hzdept_r<=50) AND om_r='x''y' AND claytotal_r>0} AS cmdchorizon "
                  "RELATE 'cokey' TO 'cokey') AS cmdchorizon) AS cmdcomponent RELATE 'mukey' TO 'mukey') AS cmdcomponent) "
                  "AS cmdmapunit RELATE 'lkey' TO 'lkey') AS cmdmapunit");
}

TEST_F(ShapeText, MonthAttributeWithARangeThroughTheNewYear)
{
    addAttribute({{"TelvaTable", "'comonth'"}, {"AttrColText", "'flodfreqcl'"}, {"TieBreakColText", "'flodfreqcl'"},
                  {"SeasonOptions", "1"}});
    EXPECT_EQ(commandFor({{"BegMonth", 11}, {"EndMonth", 2}}, {"10"}),
              kLegend +
                  "((SHAPE {SELECT lkey,mukey,musym,muname FROM mapunit WHERE mapunit.mukey IN ('10')} AS cmdmapunit "
                  "APPEND ((SHAPE {SELECT mukey,cokey,comppct_r FROM component ORDER BY comppct_r DESC} AS cmdcomponent "
                  "APPEND ({SELECT cokey,month,monthseq,flodfreqcl FROM comonth WHERE (monthseq>=11 OR monthseq<=2)} AS "
                  "cmdcomonth RELATE 'cokey' TO 'cokey') AS cmdcomonth) AS cmdcomponent RELATE 'mukey' TO 'mukey') AS "
                  "cmdcomponent) AS cmdmapunit RELATE 'lkey' TO 'lkey') AS cmdmapunit");
    // A range within one year joins its ends with AND; a month of -1 drops the condition.
    EXPECT_NE(commandFor({{"BegMonth", 3}, {"EndMonth", 5}}, {"10"}).find("(monthseq>=3 AND monthseq<=5)"),
              std::string::npos);
    EXPECT_EQ(commandFor({{"BegMonth", 3}, {"EndMonth", -1}}, {"10"}).find("monthseq>="), std::string::npos);
}

TEST_F(ShapeText, ComponentAttributeCodedByADomain)
{
    addAttribute({{"AttrColText", "'drainagecl'"}, {"TieBreakColText", "'choicesequence'"},
                  {"domainname", "'drainage_class'"}});
    EXPECT_EQ(commandFor({}, {"10"}),
              kLegend +
                  "((SHAPE {SELECT lkey,mukey,musym,muname FROM mapunit WHERE mapunit.mukey IN ('10')} AS cmdmapunit "
                  "APPEND ({SELECT mukey,cokey,comppct_r, domainname,choice,choicesequence, drainagecl FROM "
                  "component,mdstatdomdet WHERE mdstatdomdet.domainname='drainage_class' AND "
                  "mdstatdomdet.choice=component.drainagecl ORDER BY comppct_r DESC} AS cmdcomponent RELATE 'mukey' TO "
                  "'mukey') AS cmdcomponent) AS cmdmapunit RELATE 'lkey' TO 'lkey') AS cmdmapunit");
}

TEST_F(ShapeText, MapunitAndLegendAttributes)
{
    addAttribute({{"TelvaTable", "'mapunit'"}, {"AttrColText", "'muname'"}, {"TieBreakColText", "'muname'"}});
    EXPECT_EQ(commandFor({}, {"10"}),
              kLegend + "({SELECT lkey,mukey,musym,muname,muname FROM mapunit WHERE mapunit.mukey IN ('10')} AS "
                        "cmdmapunit RELATE 'lkey' TO 'lkey') AS cmdmapunit");
    rulesSql("UPDATE Attributes SET TelvaTable='legend', AttrColText='areaname';");
    EXPECT_EQ(commandFor({}, {"10"}), "SELECT lkey FROM legend");
    rulesSql("UPDATE Attributes SET AttrColText=NULL;");
    EXPECT_EQ(commandFor({}, {"10"}), "");
}

TEST_F(ShapeText, KeysFromFilesCannotBreakOutOfTheirQuotes)
{
    addAttribute({{"TelvaTable", "'mapunit'"}, {"AttrColText", "'muname'"}, {"TieBreakColText", "'muname'"}});
    EXPECT_NE(commandFor({}, {"1') OR ('1'='1"}).find("IN ('1'') OR (''1''=''1')"), std::string::npos);
}
