#include "EngineFixture.h"

#include "quillon/SqlText.h"
#include "quillon/ado/ServerImport.h"

#include <cstdlib>
#include <unistd.h>

namespace qln::test {
namespace {

const char* kRulesSchema = R"sql(
CREATE TABLE Attributes (NodeKey VARCHAR(20), NodeName VARCHAR(100), ParentKey VARCHAR(20), AttrSeq INTEGER,
  DisplayFlag BOOLEAN, AttrType VARCHAR(20), Description TEXT, DBFColumn VARCHAR(10), TelvaTable VARCHAR(30),
  AttrColText VARCHAR(30), TieBreakColText VARCHAR(30), TieBreak SMALLINT, SeasonOptions BOOLEAN,
  SoilLayerOptions BOOLEAN, CompOptions BOOLEAN, OptionList BOOLEAN, SQLWhere VARCHAR(255), domainname VARCHAR(60),
  RoundNumbers SMALLINT, DBFType VARCHAR(20), DefinedSize INTEGER, WAMultipliers VARCHAR(100),
  AllNullsNoData BOOLEAN, Ratelist BOOLEAN, RateLow VARCHAR(30), RateHigh VARCHAR(30), ThemeName VARCHAR(100),
  UseAVLFile BOOLEAN, AVLFileName VARCHAR(60));
CREATE TABLE OptionList (NodeKey VARCHAR(20), Label VARCHAR(20), SelectStmt VARCHAR(255), WhereColumn VARCHAR(30));
INSERT INTO OptionList VALUES ('other', 'Unused', 'SELECT 1', '');
CREATE TABLE ValidAlgorithms (Name VARCHAR(30), AlgorithmSeq INTEGER, Initials VARCHAR(4));
INSERT INTO ValidAlgorithms VALUES ('Weighted Average',0,'WA'), ('Most Limiting',1,'ML'), ('Least Limiting',2,'LL'),
  ('Dominant Soil',3,'DS'), ('Dominant Condition',4,'DC'), ('Absence/Presence',5,'AP'), ('All Components',6,'AC');
CREATE TABLE AttrAlgorithms (NodeKey VARCHAR(20), AlgorithmName VARCHAR(30), DefaultAlgorithm BOOLEAN);
CREATE TABLE Folders (Key VARCHAR(20), ParentKey VARCHAR(20), Name VARCHAR(60), DisplayFlag BOOLEAN, FolderSeq INTEGER);
INSERT INTO Folders VALUES ('F1','ROOT','Soil properties',1,1);
)sql";

const char* kSoilsSchema = R"sql(
CREATE TABLE legend (areasymbol VARCHAR(20), areaname VARCHAR(135), lkey VARCHAR(30));
CREATE TABLE distmd (distgendate DATETIME, distmdkey VARCHAR(30));
CREATE TABLE distlegendmd (ssastatus VARCHAR(20), cordate DATETIME, lkey VARCHAR(30), distmdkey VARCHAR(30));
CREATE TABLE mapunit (musym VARCHAR(6), muname VARCHAR(175), lkey VARCHAR(30), mukey VARCHAR(30));
CREATE TABLE muaggatt (slopegraddcp REAL, drclassdcd VARCHAR(30), mukey VARCHAR(30));
CREATE TABLE component (comppct_r SMALLINT, compname VARCHAR(60), drainagecl VARCHAR(30), slope_r REAL,
  hydricrating VARCHAR(10),
  mukey VARCHAR(30), cokey VARCHAR(30));
CREATE TABLE chorizon (hzdept_r SMALLINT, hzdepb_r SMALLINT, awc_r REAL, claytotal_r REAL, om_r REAL,
  cokey VARCHAR(30), chkey VARCHAR(30));
CREATE TABLE comonth (monthseq SMALLINT, month VARCHAR(10), flodfreqcl VARCHAR(20), cokey VARCHAR(30),
  comonthkey VARCHAR(30));
CREATE TABLE mdstatrshipdet (ltabphyname VARCHAR(30), rtabphyname VARCHAR(30), relationshipname VARCHAR(30),
  ltabcolphyname VARCHAR(30), rtabcolphyname VARCHAR(30));
CREATE TABLE mdstatdomdet (domainname VARCHAR(40), choicesequence SMALLINT, choice VARCHAR(60));
INSERT INTO mdstatrshipdet VALUES ('legend','mapunit','x','lkey','lkey'), ('mapunit','component','x','mukey','mukey'),
  ('mapunit','muaggatt','x','mukey','mukey'), ('component','chorizon','x','cokey','cokey'),
  ('component','comonth','x','cokey','cokey');
INSERT INTO mdstatdomdet VALUES ('drainage_class',1,'Well drained'),('drainage_class',2,'Moderately well drained'),
  ('drainage_class',3,'Poorly drained');
INSERT INTO legend VALUES ('TS001','Test Area','L1');
INSERT INTO distmd VALUES ('2024-01-02','D1');
INSERT INTO distlegendmd VALUES ('Updated','2023-10-01','L1','D1');
)sql";

} // namespace

std::string EngineFixture::soilsConnect() const
{
    const std::string file = "DBQ=" + soils.string() + ";";
    if (!onServer())
        return file;
    static int loads = 0;
    const std::string server =
        "Driver={PostgreSQL};Schema=s" + std::to_string(::getpid()) + "_" + std::to_string(++loads) + ";";
    ado::importToServer(file, server);
    return server;
}

void EngineFixture::SetUp()
{
    runSql(rules, kRulesSchema);
    runSql(soils, kSoilsSchema);
    ado::defineDataSource(engine::kRulesDataSource, rules);
}

void EngineFixture::addAttribute(const std::map<std::string, std::string>& columns)
{
    std::map<std::string, std::string> row = {
        {"NodeKey", "'attr'"},      {"NodeName", "'Attribute'"}, {"ParentKey", "'F1'"},
        {"AttrSeq", "1"},           {"DisplayFlag", "1"},        {"AttrType", "'Property'"},
        {"DBFColumn", "'Col'"},     {"TelvaTable", "'component'"}, {"AttrColText", "'slope_r'"},
        {"TieBreakColText", "'slope_r'"}, {"TieBreak", "1"},    {"SeasonOptions", "0"},
        {"SoilLayerOptions", "0"},  {"CompOptions", "1"},        {"OptionList", "0"},
        {"SQLWhere", "''"},         {"domainname", "''"},        {"DBFType", "'single'"},
        {"DefinedSize", "0"},       {"AllNullsNoData", "0"},     {"Ratelist", "0"},
        {"UseAVLFile", "0"}};
    for (const auto& [name, value] : columns)
        row[name] = value;
    std::string names, values;
    for (const auto& [name, value] : row) {
        names += (names.empty() ? "" : ",") + name;
        values += (values.empty() ? "" : ",") + value;
    }
    runSql(rules, "INSERT INTO Attributes (" + names + ") VALUES (" + values + ");");
}

ado::Recordset EngineFixture::userData(const std::map<std::string, Variant>& overrides)
{
    ado::Recordset rs;
    const std::vector<std::tuple<const char*, int, long, Variant>> fields = {
        {"Algorithm", ado::adInteger, 0, 3},     {"InterpKey", ado::adVarChar, 20, "attr"},
        {"OutputTable", ado::adVarChar, 10, "Rating"}, {"ListName", ado::adVarChar, 20, ""},
        {"ItemSelected", ado::adVarChar, 255, ""}, {"TopDepth", ado::adInteger, 0, -1},
        {"BotDepth", ado::adInteger, 0, -1},     {"BegMonth", ado::adInteger, 0, -1},
        {"EndMonth", ado::adInteger, 0, -1},     {"IgnPct", ado::adInteger, 0, 0},
        {"SetNullsZero", ado::adBoolean, 0, false}, {"Rate", ado::adInteger, 0, 0},
        {"Multipliers", ado::adVarChar, 250, ""}};
    for (const auto& field : fields)
        rs.appendField(std::get<0>(field), std::get<1>(field), std::get<2>(field));
    rs.open();
    rs.addNew();
    for (const auto& field : fields) {
        const auto it = overrides.find(std::get<0>(field));
        rs.setValue(std::get<0>(field), it == overrides.end() ? std::get<3>(field) : it->second);
    }
    rs.update();
    return rs;
}

ado::Recordset EngineFixture::mapunits(const std::vector<std::string>& keys)
{
    ado::Recordset rs;
    rs.appendField("mukey", ado::adVarChar, 30);
    rs.appendField("musym", ado::adVarChar, 10);
    rs.open();
    for (const auto& key : keys) {
        rs.addNew();
        rs.setValue("mukey", key);
        rs.setValue("musym", "S" + key);
        rs.update();
    }
    return rs;
}

std::map<std::string, Variant> EngineFixture::rate(const std::map<std::string, Variant>& overrides,
                                                   const std::vector<std::string>& keys)
{
    ado::Recordset data = userData(overrides);
    ado::Recordset units = mapunits(keys);
    auto results = engine.ProcessData(soilsConnect(), data, units);
    std::map<std::string, Variant> ratings;
    if (!results)
        return ratings;
    lastResults = *results;
    for (results->moveFirst(); !results->eof(); results->moveNext())
        ratings[results->value("mukey").text()] = results->value(2);
    return ratings;
}

} // namespace qln::test
