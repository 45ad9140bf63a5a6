#include "EngineFixture.h"
#include "RateRun.h"
#include "ResultWriter.h"
#include "quillon/Error.h"
#include "quillon/viewer/UserData.h"
#include "quillon/ado/Connection.h"

#include <shapefil.h>

#include <limits>
#include <sstream>

using qln::Variant;
namespace rate = qln::rate;

namespace {

class QuillonRate : public qln::test::EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        soilsSql(R"sql(
INSERT INTO mapunit VALUES ('Ab','Alpha','L1','10'), ('Cd, "x"','Beta','L1','11');
INSERT INTO component (comppct_r, slope_r, mukey, cokey) VALUES (100,2.5,'10','100'), (100,NULL,'11','110');
)sql");
        addAttribute({{"RoundNumbers", "1"}});
        rulesSql("INSERT INTO AttrAlgorithms VALUES ('attr','Weighted Average',0), ('attr','Dominant Soil',1);");
        options.soils = soils;
        options.run.attribute = "attr";
    }

    rate::RateOptions options;

    std::string render(rate::OutputFormat format)
    {
        auto attr = engine.GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='attr'");
        auto data = qln::viewer::buildUserData(
            options.run, attr, qln::viewer::chooseMethod(qln::viewer::attributeMethods(engine, "attr"), options.run.method));
        auto units = rate::loadMapunits(engine, options);
        auto results = engine.ProcessData(rate::soilsConnectString(soils), data, units);
        std::ostringstream out;
        rate::writeResults(*results, format, out);
        return out.str();
    }
};

} // namespace

TEST_F(QuillonRate, CsvJsonAndTableShowNullAndSinglePrecision)
{
    options.run.method = "Dominant Soil";
    EXPECT_EQ(render(rate::OutputFormat::Csv), "musym,mukey,Col,cokey,NumComponents\nAb,10,2.5,100,1\n");
    soilsSql("INSERT INTO mapunit VALUES ('Ef','Gamma','L1','12');"
             "INSERT INTO component (comppct_r, slope_r, mukey, cokey) VALUES (100,0.1,'12','120');");
    EXPECT_EQ(render(rate::OutputFormat::Json),
              "[\n  {\"musym\": \"Ab\", \"mukey\": \"10\", \"Col\": 2.5, \"cokey\": \"100\", \"NumComponents\": 1},\n"
              "  {\"musym\": \"Ef\", \"mukey\": \"12\", \"Col\": 0.1, \"cokey\": \"120\", \"NumComponents\": 1}\n]\n");

    qln::ado::Recordset rows;
    rows.appendField("musym", qln::ado::adVarChar, 6);
    rows.appendField("Col", qln::ado::adVarChar, 10);
    rows.open();
    rows.addNew();
    rows.setValue("musym", "Cd, \"x\"");
    rows.setValue("Col", Variant::null());
    std::ostringstream csv, table;
    rate::writeResults(rows, rate::OutputFormat::Csv, csv);
    EXPECT_EQ(csv.str(), "musym,Col\n\"Cd, \"\"x\"\"\",\n");
    rate::writeResults(rows, rate::OutputFormat::Table, table);
    EXPECT_EQ(table.str(), "musym    Col\n-------  ---\nCd, \"x\"  \n(1 map units)\n");
}

TEST_F(QuillonRate, MapUnitsFromAGisAttributeFile)
{
    const auto dbf = temp / "soils.dbf";
    DBFHandle handle = DBFCreateEx(dbf.c_str(), "UTF-8");
    DBFAddField(handle, "MUKEY", FTString, 16, 0);
    DBFAddField(handle, "MUSYM", FTString, 6, 0);
    const std::vector<std::pair<const char*, const char*>> rows = {
        {"10", "Ab"}, {"10", "Ab"}, {"10", "Ax"}, {nullptr, "W"}, {"11", "Cd"}};
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        if (rows[static_cast<std::size_t>(i)].first)
            DBFWriteStringAttribute(handle, i, 0, rows[static_cast<std::size_t>(i)].first);
        else
            DBFWriteNULLAttribute(handle, i, 0);
        DBFWriteStringAttribute(handle, i, 1, rows[static_cast<std::size_t>(i)].second);
    }
    DBFClose(handle);

    options.mapunits = dbf.string();
    auto units = rate::loadMapunits(engine, options);
    ASSERT_EQ(units.recordCount(), 3);  // one row per distinct pair, none without a key
    units.moveLast();
    EXPECT_EQ(units.value("mukey").text(), "11");

    options.mapunits = (temp / "absent.dbf").string();
    try {
        rate::loadMapunits(engine, options);
        FAIL();
    } catch (const qln::EngineError& error) {
        EXPECT_NE(error.description().find("absent.dbf"), std::string::npos);
    }
}

TEST_F(QuillonRate, RatingsThatAreNotFiniteStopTheOutput)
{
    for (const double bad : {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        qln::ado::Recordset rows;
        rows.appendField("mukey", qln::ado::adVarChar, 6);
        rows.appendField("Col", qln::ado::adDouble, 0);
        rows.open();
        rows.addNew();
        rows.setValue("mukey", "9");
        rows.setValue("Col", 1.5);
        rows.addNew();
        rows.setValue("mukey", "10");
        rows.setValue("Col", bad);
        for (const auto format : {rate::OutputFormat::Csv, rate::OutputFormat::Json, rate::OutputFormat::Table}) {
            std::ostringstream out;
            try {
                rate::writeResults(rows, format, out);
                ADD_FAILURE() << "written: " << out.str();
            } catch (const rate::NonFiniteValue& error) {
                EXPECT_STREQ(error.what(), "The value of Col for map unit 10 is not a finite number; nothing was written.");
                EXPECT_EQ(out.str(), "") << "the rows before the refused one were written";
            }
        }
    }
}

TEST_F(QuillonRate, JsonStaysValidForAnyBytesOfTheSoilsData)
{
    qln::ado::Recordset rows;
    rows.appendField("musym", qln::ado::adVarChar, 40);
    rows.open();
    rows.addNew();
    // Latin-1 bytes, a cut sequence, an encoded surrogate, control characters, and UTF-8 that stays.
    rows.setValue("musym", std::string("Gr\xfcn \xe2\x82 \xed\xa0\x80 \"q\"\\\x01\t \xc3\xa9\xe2\x82\xac\xf0\x9f\x8c\xb1"));
    std::ostringstream json;
    rate::writeResults(rows, rate::OutputFormat::Json, json);
    EXPECT_EQ(json.str(), "[\n  {\"musym\": \"Gr\\ufffdn \\ufffd\\ufffd \\ufffd\\ufffd\\ufffd \\\"q\\\"\\\\\\u0001\\t "
                          "\xc3\xa9\xe2\x82\xac\xf0\x9f\x8c\xb1\"}\n]\n");
}

TEST(QuillonRateConnection, SoilsPathsWithBracesAndSemicolonsReadBackExactly)
{
    const std::filesystem::path path = "/data/a}b;c={d} 'e\"/soils;DBQ=x.sqlite";
    EXPECT_EQ(qln::ado::parseConnectionString(rate::soilsConnectString(path)).at("DBQ"), path.string());
}
