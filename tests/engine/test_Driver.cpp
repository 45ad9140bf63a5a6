#include "EngineFixture.h"

#include "DataProcessing.h"
#include "quillon/Error.h"

using qln::Variant;
using qln::test::sameNumber;

namespace {

class Driver : public qln::test::EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        soilsSql(R"sql(
INSERT INTO mapunit VALUES ('A','NULL','L1','10'), ('B','Beta','L1','11'), ('C','Gamma','L1','12');
INSERT INTO muaggatt VALUES (0,'Well drained','10'), (7.5,'Poorly drained','11');
INSERT INTO component (comppct_r, compname, drainagecl, slope_r, mukey, cokey) VALUES
  (80,'Alpha','Well drained',2,'10','100'), (20,'Minor','Poorly drained',1,'10','101'),
  (100,'Beta','Poorly drained',5,'11','110');
)sql");
    }

    qln::EngineError errorOf(const std::map<std::string, Variant>& overrides, const std::vector<std::string>& keys)
    {
        try {
            rate(overrides, keys);
        } catch (const qln::EngineError& error) {
            return error;
        }
        return qln::EngineError(0, "", "<no error>");
    }
};

} // namespace

TEST_F(Driver, EmptyUserDataReturnsNothingEvenWithoutMapUnits)
{
    addAttribute({});
    qln::ado::Recordset data = userData({});
    data.moveFirst();
    data.setFilter("InterpKey='none'");
    qln::ado::Recordset units = mapunits({});
    EXPECT_FALSE(engine.ProcessData(soilsConnect(), data, units).has_value());
}

TEST_F(Driver, MapUnitLevelRatingsSkipNullTextAndKeepZero)
{
    addAttribute({{"TelvaTable", "'mapunit'"}, {"AttrColText", "'muname'"}, {"TieBreakColText", "'muname'"},
                  {"DBFType", "'text'"}, {"DefinedSize", "30"}});
    auto ratings = rate({{"Algorithm", 42}}, {"10", "11"});  // the code is never read here
    EXPECT_EQ(ratings.count("10"), 0u);                      // the text "NULL" is not stored
    EXPECT_EQ(ratings.at("11").text(), "Beta");
    EXPECT_EQ(lastResults.fieldCount(), 3);
    EXPECT_EQ(lastResults.field(2).name, "Rating");
    EXPECT_EQ(lastResults.value("musym").text(), "S11");

    rulesSql("UPDATE Attributes SET TelvaTable='muaggatt', AttrColText='slopegraddcp', TieBreakColText='slopegraddcp',"
             " DBFType='Single';");
    ratings = rate({}, {"10", "11", "12"});
    EXPECT_TRUE(sameNumber(ratings.at("10"), 0.0));  // a rating of 0 is stored
    EXPECT_TRUE(sameNumber(ratings.at("11"), 7.5));
    EXPECT_EQ(ratings.count("12"), 0u);  // no muaggatt row: no rating, no error
}

TEST_F(Driver, OnlyTheCallersMapUnitsAreRated)
{
    addAttribute({});
    qln::ado::Recordset data = userData({});
    qln::ado::Recordset units = mapunits({"10", "11"});
    auto results = engine.ProcessData(soilsConnect(), data, units);
    ASSERT_TRUE(results);
    EXPECT_EQ(results->recordCount(), 2);
    EXPECT_EQ(units.filter(), "mukey='11'");  // the run leaves its last filter
}

TEST_F(Driver, ProgressCountsEveryMapUnitAndCanStopTheRun)
{
    addAttribute({});
    std::vector<std::pair<long, long>> calls;
    engine.setProgressHandler([&](long done, long total) {
        calls.emplace_back(done, total);
        return true;
    });
    EXPECT_EQ(rate({}, {"10", "11", "12"}).size(), 2u);
    EXPECT_EQ(calls, (std::vector<std::pair<long, long>>{{1, 3}, {2, 3}, {3, 3}}));

    // Stopping after the first map unit ends the run with no results at all.
    calls.clear();
    engine.setProgressHandler([&](long done, long total) {
        calls.emplace_back(done, total);
        return done < 2;
    });
    const auto error = errorOf({}, {"10", "11", "12"});
    EXPECT_EQ(error.number(), qln::engine::qlnErrCancelled);
    EXPECT_EQ(error.description(), "The run was cancelled.");
    EXPECT_EQ(calls.size(), 2u);

    // A long read before the rating tells the rows read so far, without a total, and may be
    // stopped too: SQLite counts its rows as it reads them, a server only answers at the end.
    if (onServer())
        return;
    soilsSql("INSERT INTO component (comppct_r, compname, mukey, cokey) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
             "SELECT i+1 FROM n WHERE i<200000) SELECT 1, 'Filler', '10', 'f' || i FROM n;");
    calls.clear();
    engine.setProgressHandler([&](long done, long total) {
        calls.emplace_back(done, total);
        return total > 0 || calls.size() < 3;
    });
    const auto stopped = errorOf({}, {"10", "11", "12"});
    EXPECT_EQ(stopped.number(), qln::engine::qlnErrCancelled);
    EXPECT_EQ(stopped.description(), "The run was cancelled.");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls.back().second, 0);
    EXPECT_LE(calls.front().first, calls.back().first);
}

TEST_F(Driver, AConnectionStringWithoutClosingSemicolonStillNamesTheFile)
{
    addAttribute({});
    std::string connect = soilsConnect();
    ASSERT_EQ(connect.back(), ';');
    connect.pop_back();
    qln::ado::Recordset data = userData({});
    qln::ado::Recordset units = mapunits({"10", "11"});
    const auto results = engine.ProcessData(connect, data, units);
    ASSERT_TRUE(results);
    EXPECT_EQ(results->recordCount(), 2);
}

TEST_F(Driver, ErrorsCarryTheirNumberDescriptionAndTrail)
{
    addAttribute({});
    auto error = errorOf({{"InterpKey", "missing"}}, {"10"});
    EXPECT_EQ(error.number(), 0x80040203);
    EXPECT_EQ(error.description(), "Main QLN Rules table does not have NodeKey='missing'");
    EXPECT_EQ(error.source(), "ProcessData(Line 3)/GetMainQLNRS");

    error = errorOf({}, {});
    EXPECT_EQ(error.number(), 0x80040208);
    EXPECT_EQ(error.description(), "There are no input mapunit records.");

    error = errorOf({{"Algorithm", 9}}, {"10"});
    EXPECT_EQ(error.number(), 0x80040209);
    EXPECT_EQ(error.description(), "Invalid algorithm selected.");
    EXPECT_EQ(error.source(), "ProcessData(Line 9)/ProcessMapunits(Line 4)/ProcessMapunits");

    rulesSql("DELETE FROM OptionList;");
    error = errorOf({}, {"10"});
    EXPECT_EQ(error.number(), 0x80040202);
    EXPECT_EQ(error.description(), "Main QLN Rules table does not have OptionList records.");
}

TEST_F(Driver, ProviderErrorsNameTheQueryOrTheConnection)
{
    addAttribute({{"AttrColText", "'nosuchcolumn'"}, {"TieBreakColText", "'nosuchcolumn'"}});
    auto error = errorOf({}, {"10"});
    EXPECT_EQ(error.number(), qln::kProviderError);
    EXPECT_NE(error.description().find("; SQL Query: SHAPE {"), std::string::npos);
    EXPECT_EQ(error.source().rfind("ProcessData(Line 6)/adoOpenRecordset(Line 1)/", 0), 0u) << error.source();

    qln::ado::Recordset data = userData({});
    qln::ado::Recordset units = mapunits({"10"});
    try {
        engine.ProcessData("DBQ=" + (temp / "absent.sqlite").string() + ";", data, units);
        FAIL();
    } catch (const qln::EngineError& e) {
        EXPECT_NE(e.description().find("; Connection: DBQ="), std::string::npos);
        EXPECT_NE(e.source().find("adoOpenDatabase(Line 2)/"), std::string::npos);
    }
}

TEST_F(Driver, OptionListsRestrictTheAttributeTableAndListTheirItems)
{
    addAttribute({{"OptionList", "1"}});
    rulesSql("INSERT INTO OptionList VALUES ('attr','Drainage','SELECT DISTINCT drainagecl FROM component ORDER BY 1',"
             "'drainagecl');");
    const auto ratings = rate({{"ListName", "Drainage"}, {"ItemSelected", "Poorly drained"}}, {"10", "11"});
    EXPECT_TRUE(sameNumber(ratings.at("10"), 1.0));  // only the minor component remains in 10
    EXPECT_TRUE(sameNumber(ratings.at("11"), 5.0));

    auto lists = engine.GetOptionListsRS(soilsConnect(), "attr");
    ASSERT_TRUE(lists);
    ASSERT_EQ(lists->recordCount(), 2);
    EXPECT_EQ(lists->value("ListName").text(), "Drainage");
    EXPECT_EQ(lists->value("ListData").text(), "Poorly drained");
    EXPECT_FALSE(engine.GetOptionListsRS(soilsConnect(), "nolists"));

    rulesSql("INSERT INTO OptionList VALUES ('empty','Crop','SELECT compname FROM component WHERE 0','compname');");
    try {
        engine.GetOptionListsRS(soilsConnect(), "empty");
        FAIL();
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), 0x8004020A);
        EXPECT_EQ(error.description(), "Crop dropdown list is empty.");
        EXPECT_EQ(error.source(), "GetOptionListsRS");
    }
}

TEST_F(Driver, AlternateMapUnitKey)
{
    EXPECT_EQ(engine.CheckForAlternateMUKey(soilsConnect()), 1);
    const auto other = temp / "other.sqlite";
    qln::test::runSql(other, "CREATE TABLE mapunit (musym TEXT, MUKEY_ALT TEXT);");
    EXPECT_EQ(engine.CheckForAlternateMUKey("DBQ=" + other.string() + ";"), -1);
}

TEST_F(Driver, AMapUnitTheCallerDidNotAskForGetsNoRow)
{
    addAttribute({{"TelvaTable", "'mapunit'"}, {"AttrColText", "'muname'"}, {"TieBreakColText", "'muname'"}});
    auto attr = engine.GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='attr'");
    qln::ado::Recordset chapter;
    chapter.appendField("mukey", qln::ado::adVarChar, 30);
    chapter.appendField("muname", qln::ado::adVarChar, 60);
    chapter.open();
    for (const char* key : {"10", "11", "12"}) {
        chapter.addNew();
        chapter.setValue("mukey", key);
        chapter.setValue("muname", std::string("Unit ") + key);
    }
    qln::ado::Recordset results;
    results.appendField("musym", qln::ado::adVarChar, 6);
    results.appendField("mukey", qln::ado::adVarChar, 30);
    results.appendField("Rating", qln::ado::adVarChar, 60);
    results.open();
    auto wanted = mapunits({"11", " 12 "});
    auto data = userData({});
    qln::engine::RunContext run;
    EXPECT_EQ(qln::engine::ProcessMapunits(run, chapter, wanted, qln::engine::ReadRunInputs(attr, data), results), 1);
    ASSERT_EQ(results.recordCount(), 1);  // 10 is not asked for; " 12 " is another key
    results.moveFirst();
    EXPECT_EQ(results.value("mukey").text(), "11");
    EXPECT_EQ(results.value("Rating").text(), "Unit 11");
}
