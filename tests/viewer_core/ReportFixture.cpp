#include "ReportFixture.h"

#include "quillon/viewer/MapunitList.h"

#include <fstream>

namespace qln::test {

void ReportFixture::SetUp()
{
    EngineFixture::SetUp();
    soilsSql(R"sql(
ALTER TABLE distlegendmd ADD COLUMN areasymbol VARCHAR(20);
ALTER TABLE distlegendmd ADD COLUMN areaname VARCHAR(135);
ALTER TABLE legend ADD COLUMN ssastatus VARCHAR(20);
ALTER TABLE legend ADD COLUMN cordate DATETIME;
UPDATE legend SET ssastatus='Updated', cordate='2023-10-01';
UPDATE distlegendmd SET areasymbol='TS001', areaname='Test Area';
INSERT INTO legend VALUES ('TS002','Second Area','L2','Initial','2022-03-04');
INSERT INTO distlegendmd VALUES ('Initial','2022-03-04','L2','D1','TS002','Second Area');
INSERT INTO mapunit VALUES ('Ab','Alpha loam','L1','10'), ('Cd','Beta clay','L1','11'), ('Ef','Gamma','L1','12'),
  ('Gh','Delta sand','L2','20');
CREATE TABLE "SYSTEM - Mapunit Sort Specifications" (lkey VARCHAR(30), mukey VARCHAR(30), lseq INTEGER,
  museq INTEGER);
INSERT INTO "SYSTEM - Mapunit Sort Specifications" VALUES ('L2','20',2,1), ('L1','10',1,2), ('L1','11',1,1),
  ('L1','12',1,3);
INSERT INTO component (comppct_r, compname, slope_r, mukey, cokey) VALUES
  (60,'Alpha',2.5,'10','100'), (30,'Minor',1,'10','101'), (100,'Beta',7,'11','110'), (100,'Delta',4,'20','200');
INSERT INTO comonth VALUES (4,'April','None','100','m1'), (9,'September','None','100','m2');
CREATE TABLE cointerp (cokey VARCHAR(30), mrulename VARCHAR(60), ruledepth SMALLINT, rulename VARCHAR(60),
  interphr REAL, interphrc VARCHAR(250));
INSERT INTO mdstatrshipdet VALUES ('component','cointerp','x','cokey','cokey');
INSERT INTO cointerp VALUES
  ('100','Dwellings',0,'Dwellings',1,'Very limited'), ('100','Dwellings',1,'Slope',1,'Slope'),
  ('100','Dwellings',1,'Wet',0.5,'Depth to saturated zone'), ('100','Dwellings',1,'Flood',1,'Flooding'),
  ('110','Dwellings',0,'Dwellings',0,'Not limited'),
  ('200','Dwellings',0,'Dwellings',0.4,'Somewhat limited by slope and by wetness'),
  ('200','Dwellings',1,'Slope',0.4,'Slope');
CREATE TABLE mutext (recdate DATETIME, mapunittextkind VARCHAR(40), textcat VARCHAR(20), textsubcat VARCHAR(20),
  text TEXT, mukey VARCHAR(30), mutextkey VARCHAR(30));
INSERT INTO mutext VALUES
  (NULL,'Nontechnical description','USE',NULL,'Good for pasture.','10','t1'),
  (NULL,'Nontechnical description','SOIL',NULL,'Alpha soils are deep and well drained.','10','t2'),
  (NULL,'Nontechnical description','SOIL',NULL,'Beta is clayey.','11','t3'),
  (NULL,'Nontechnical description','SOIL',NULL,'Delta is sandy.','20','t4'),
  (NULL,'Nontechnical description','CLIMATE',NULL,'Not picked.','20','t5'),
  (NULL,'Other kind','OTHER',NULL,'Not a category.','20','t6');
)sql");
    addAttribute({{"NodeKey", "'dwell'"}, {"NodeName", "'Dwellings'"}, {"Description", "'Houses of three stories.'"},
                  {"TelvaTable", "'cointerp'"}, {"AttrColText", "'interphrc'"}, {"TieBreakColText", "'interphr'"},
                  {"DBFType", "'text'"}, {"DefinedSize", "250"},
                  {"SQLWhere", "'cointerp.ruledepth=0 AND cointerp.mrulename=''Dwellings'''"}});
}

ado::Recordset ReportFixture::dwellings(const std::map<std::string, Variant>& overrides)
{
    std::map<std::string, Variant> all = {{"InterpKey", "dwell"}, {"Algorithm", 3}};
    for (const auto& [name, value] : overrides)
        all[name] = value;
    return userData(all);
}

ado::Recordset ReportFixture::tickedList()
{
    ado::Recordset units = mapunits({"10", "11", "12", "20"});
    ado::Recordset list;
    viewer::PopulateMapunitList(engine, soilsConnect(), units, list, {});
    viewer::SetAllRows(list, true);
    return list;
}

void ReportFixture::writeContact(const std::string& messageClass, const std::string& identifier,
                                 const std::string& postal)
{
    const auto file = temp / "contact.vcf";
    std::ofstream(file) << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Smith\\, Jo\r\nORG:Hill Farm\r\n"
                        << "X-MESSAGE-CLASS:" << messageClass << "\r\nX-ORGANIZATIONAL-ID:" << identifier
                        << "\r\nADR;TYPE=WORK:;;;Ames;IA;" << postal << ";USA\r\nEND:VCARD\r\n";
    ::setenv("QUILLON_CONTACT_FILE", file.c_str(), 1);
}

std::filesystem::path ReportFixture::templates() const
{
    return QUILLON_TEMPLATES_DIR;
}

} // namespace qln::test
