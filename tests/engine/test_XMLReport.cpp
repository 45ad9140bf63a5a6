#include "EngineFixture.h"

#include "quillon/Error.h"

#include <pugixml.hpp>

#include <sstream>

using qln::Variant;

namespace {

// Two survey areas; map units 10 and 11 in the first, 20 in the second, 12 without
// components (so without a rating).
class XMLReport : public qln::test::EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        soilsSql(R"sql(
ALTER TABLE distlegendmd ADD COLUMN areasymbol VARCHAR(20);
ALTER TABLE distlegendmd ADD COLUMN areaname VARCHAR(135);
UPDATE distlegendmd SET areasymbol='TS001', areaname='Test Area';
INSERT INTO legend VALUES ('TS002','Second Area','L2');
INSERT INTO distlegendmd VALUES ('Initial','2022-03-04','L2','D1','TS002','Second Area');
INSERT INTO mapunit VALUES ('Ab','Alpha loam','L1','10'), ('Cd','Beta clay','L1','11'), ('Ef','Gamma','L1','12'),
  ('Gh','Delta sand','L2','20');
INSERT INTO component (comppct_r, compname, slope_r, mukey, cokey) VALUES
  (60,'Alpha',2.5,'10','100'), (30,'Minor',1,'10','101'), (100,'Beta',7,'11','110'), (100,'Delta',4,'20','200');
CREATE TABLE cointerp (cokey VARCHAR(30), mrulename VARCHAR(60), ruledepth SMALLINT, rulename VARCHAR(60),
  interphr REAL, interphrc VARCHAR(250));
INSERT INTO mdstatrshipdet VALUES ('component','cointerp','x','cokey','cokey');
INSERT INTO cointerp VALUES
  ('100','Dwellings',0,'Dwellings',1,'Very limited'), ('100','Dwellings',1,'Slope',1,'Slope'),
  ('100','Dwellings',1,'Wet',0.5,'Depth to saturated zone'),
  ('101','Dwellings',0,'Dwellings',1,'Very limited'), ('101','Dwellings',1,'Flood',1,'Flooding'),
  ('110','Dwellings',0,'Dwellings',0,'Not limited'),
  ('100','Roads',1,'Other rule',1,'Not a reason of Dwellings');
)sql");
        addAttribute({{"NodeName", "'Slope gradient'"}, {"Description", "'Slope of the ground.'"}});
        addAttribute({{"NodeKey", "'dwell'"}, {"NodeName", "'Dwellings'"}, {"Description", "'Houses.'"},
                      {"TelvaTable", "'cointerp'"}, {"AttrColText", "'interphrc'"}, {"TieBreakColText", "'interphr'"},
                      {"DBFType", "'text'"}, {"DefinedSize", "250"},
                      {"SQLWhere", "'cointerp.ruledepth=0 AND cointerp.MRULENAME=''Dwellings'''"}});
        addAttribute({{"NodeKey", "'name'"}, {"NodeName", "'Map unit name'"}, {"Description", "'Name.'"},
                      {"TelvaTable", "'mapunit'"}, {"AttrColText", "'muname'"}, {"TieBreakColText", "'muname'"},
                      {"DBFType", "'text'"}, {"DefinedSize", "175"}, {"OptionList", "1"}});
    }

    // The document of a run over these map units, in this order, printed with two-blank
    // indents (a golden text).
    std::string report(const std::map<std::string, Variant>& overrides, const std::vector<std::string>& keys)
    {
        auto data = userData(overrides);
        auto units = mapunits(keys);
        auto results = engine.ProcessData(soilsConnect(), data, units);
        std::unique_ptr<pugi::xml_document> document;
        engine.PopulateXMLReport(soilsConnect(), data, *results, units, document);
        if (!document)
            return "<none>";
        std::ostringstream out;
        document->save(out, "  ", pugi::format_default | pugi::format_no_declaration);
        return out.str();
    }

    qln::EngineError errorOf(const std::map<std::string, Variant>& overrides, const std::string& connect,
                             std::unique_ptr<pugi::xml_document>& document)
    {
        auto data = userData(overrides);
        auto units = mapunits({"10"});
        qln::ado::Recordset results;
        results.appendField("musym", qln::ado::adVarChar, 6);
        results.appendField("mukey", qln::ado::adVarChar, 30);
        results.appendField("Rating", qln::ado::adVarChar, 30);
        results.open();
        try {
            engine.PopulateXMLReport(connect, data, results, units, document);
        } catch (const qln::EngineError& error) {
            return error;
        }
        return qln::EngineError(0, "", "<no error>");
    }
};

} // namespace

TEST_F(XMLReport, DefaultOptionsGiveTitleDescriptionAndTableOnly)
{
    EXPECT_EQ(report({}, {"10", "11", "20"}),
              "<Report>\n"
              "  <Title>Slope gradient - Dominant Soil</Title>\n"
              "  <Description>Slope of the ground.</Description>\n"
              "  <Table>\n"
              "    <row ssaid=\"TS001\" ssaname=\"Test Area\" survstat=\"Updated\" cordate=\"10/01/2023\" "
              "distdate=\"01/02/2024\" musym=\"Ab\" muname=\"Alpha loam\" Result=\"2.5\" />\n"
              "    <row ssaid=\"TS001\" ssaname=\"Test Area\" survstat=\"Updated\" cordate=\"10/01/2023\" "
              "distdate=\"01/02/2024\" musym=\"Cd\" muname=\"Beta clay\" Result=\"7\" />\n"
              "    <row ssaid=\"TS002\" ssaname=\"Second Area\" survstat=\"Initial\" cordate=\"03/04/2022\" "
              "distdate=\"01/02/2024\" musym=\"Gh\" muname=\"Delta sand\" Result=\"4\" />\n"
              "  </Table>\n"
              "</Report>\n");
}

TEST_F(XMLReport, OptionsInForceComeBetweenTitleAndDescriptionInTheirOrder)
{
    const std::string text = report({{"IgnPct", 15}, {"SetNullsZero", true}, {"TopDepth", 0}, {"BotDepth", 25},
                                      {"BegMonth", 4}, {"EndMonth", 9}, {"Rate", -1}},
                                     {"11"});
    EXPECT_EQ(text.substr(0, text.find("  <Table>")),
              "<Report>\n"
              "  <Title>Slope gradient - Dominant Soil</Title>\n"
              "  <IgnorePct>15</IgnorePct>\n"
              "  <SetNullsZero>TRUE</SetNullsZero>\n"
              "  <TopDepth>0</TopDepth>\n"
              "  <BotDepth>25</BotDepth>\n"
              "  <BegMonth>4</BegMonth>\n"
              "  <EndMonth>9</EndMonth>\n"
              "  <Rate>-1</Rate>\n"
              "  <Description>Slope of the ground.</Description>\n");
    // Half a depth range or month range, and a rate of 0, write nothing.
    const std::string half = report({{"TopDepth", 0}, {"BegMonth", 3}, {"Rate", 0}}, {"11"});
    EXPECT_EQ(half.find("Depth"), std::string::npos);
    EXPECT_EQ(half.find("Month"), std::string::npos);
    EXPECT_EQ(half.find("<Rate>"), std::string::npos);
}

TEST_F(XMLReport, RowsFollowTheSelectionAndUnratedMapUnitsAreLeftOut)
{
    const std::string text = report({}, {"20", "12", "10"});
    const auto delta = text.find("musym=\"Gh\"");
    const auto alpha = text.find("musym=\"Ab\"");
    ASSERT_NE(delta, std::string::npos);
    ASSERT_NE(alpha, std::string::npos);
    EXPECT_LT(delta, alpha);
    EXPECT_EQ(text.find("Ef"), std::string::npos);
    // With no rated map unit at all there is no Table element.
    EXPECT_EQ(report({}, {"12"}).find("<Table"), std::string::npos);
}

TEST_F(XMLReport, ReasonsBecomeComponentAttributeAndReasonElements)
{
    EXPECT_EQ(report({{"InterpKey", "dwell"}, {"Algorithm", 3}}, {"10"}),
              "<Report>\n"
              "  <Title>Dwellings - Dominant Soil</Title>\n"
              "  <Description>Houses.</Description>\n"
              "  <Table>\n"
              "    <row ssaid=\"TS001\" ssaname=\"Test Area\" survstat=\"Updated\" cordate=\"10/01/2023\" "
              "distdate=\"01/02/2024\" musym=\"Ab\" muname=\"Alpha loam\" Result=\"Very limited\" "
              "Component=\"Component - Alpha (60%)\">\n"
              "      <Reason text=\"Slope\" />\n"
              "      <Reason text=\"Depth to saturated zone\" />\n"
              "    </row>\n"
              "  </Table>\n"
              "</Report>\n");
}

TEST_F(XMLReport, ComponentReasonTextJoinsComponentsAndKeepsLongTextsWhole)
{
    // Both components share the condition, so both blocks are in the text; the second
    // block's lines stay in the last Reason element, as the split is only at "|".
    const std::string longReason(3000, 'x');
    soilsSql("INSERT INTO cointerp VALUES ('101','Dwellings',1,'Long',1,'" + longReason + "');");
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(report({{"InterpKey", "dwell"}, {"Algorithm", 4}}, {"10"}).c_str()));
    const pugi::xml_node row = document.select_node("Report/Table/row").node();
    EXPECT_STREQ(row.attribute("Component").value(), "Component - Alpha (60%)");
    std::vector<std::string> reasons;
    for (pugi::xml_node reason : row.children("Reason"))
        reasons.push_back(reason.attribute("text").value());
    EXPECT_EQ(reasons, (std::vector<std::string>{"Slope", "Depth to saturated zone\r\nComponent - Minor (30%)",
                                                 "Flooding", longReason}));
}

TEST_F(XMLReport, MapUnitAttributesAreTitledByTheirNameAlone)
{
    const std::string text = report({{"InterpKey", "name"}, {"Algorithm", 4}, {"ItemSelected", "Corn"}}, {"10"});
    EXPECT_NE(text.find("<Title>Map unit name</Title>"), std::string::npos) << text;
    EXPECT_NE(text.find("Result=\"Alpha loam\""), std::string::npos);
}

TEST_F(XMLReport, ListItemFollowsTheMethodWhenTheAttributeHasAnOptionList)
{
    rulesSql("UPDATE Attributes SET OptionList=1 WHERE NodeKey='attr';");
    const std::string text = report({{"ItemSelected", "Corn"}, {"Algorithm", 3}}, {"10"});
    EXPECT_NE(text.find("<Title>Slope gradient - Dominant Soil (Corn)</Title>"), std::string::npos) << text;
}

TEST_F(XMLReport, EmptyUserDataGivesNoDocument)
{
    auto data = userData({});
    data.moveFirst();
    data.setFilter("InterpKey='none'");
    auto units = mapunits({"10"});
    qln::ado::Recordset results = units.clone();
    std::unique_ptr<pugi::xml_document> document = std::make_unique<pugi::xml_document>();
    engine.PopulateXMLReport(soilsConnect(), data, results, units, document);
    EXPECT_FALSE(document);
}

TEST_F(XMLReport, TheFourErrorsCarryNumberDescriptionAndSourceAndLeaveNoDocument)
{
    std::unique_ptr<pugi::xml_document> document = std::make_unique<pugi::xml_document>();
    auto error = errorOf({{"InterpKey", "missing"}}, soilsConnect(), document);
    EXPECT_EQ(error.number(), 0x80040203);
    EXPECT_EQ(error.description(), "Main QLN Rules table does not have NodeKey='missing'");
    EXPECT_EQ(error.source().rfind("PopulateXMLReport(Line 2)/", 0), 0u) << error.source();
    EXPECT_FALSE(document);

    error = errorOf({}, "DBQ=" + (temp / "absent.sqlite").string() + ";", document);
    EXPECT_EQ(error.number(), 0x80040201);
    EXPECT_EQ(error.description(), "Error opening Soils database.");

    rulesSql("UPDATE Attributes SET AttrColText=NULL WHERE NodeKey='attr';");
    error = errorOf({}, soilsConnect(), document);
    EXPECT_EQ(error.number(), 0x80040202);
    EXPECT_EQ(error.description(), "Error opening Soils Recordset.");

    rulesSql("DELETE FROM OptionList;");
    error = errorOf({}, soilsConnect(), document);
    EXPECT_EQ(error.number(), 0x80040202);
    EXPECT_EQ(error.description(), "Main QLN Rules table does not have OptionList records.");
    EXPECT_EQ(error.source(), "PopulateXMLReport(Line 3)/GetMainQLNRS");
    EXPECT_FALSE(document);
}
