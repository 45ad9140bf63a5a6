// quillon-sample, run as users run it: the database it writes passes the soils checks,
// holds realistic data with the edge cases on purpose, is the same for the same seed, and
// comes with a standard polygon shapefile of the same map units.
#include "TestDb.h"

#include <gtest/gtest.h>
#include <shapefil.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

using qln::test::Rows;
using qln::test::TestDb;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status = -1;
    std::string output;
};

std::string quote(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

ToolRun runTool(const std::string& args)
{
    ToolRun run;
    const std::string command = quote(QUILLON_SAMPLE_EXE) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        run.output.append(buf, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

fs::path freshDir(const std::string& name)
{
    std::string pattern = (fs::temp_directory_path() / ("quillon-sample-" + name + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    return pattern;
}

// One small survey shared by the tests that only read it.
class SampleSurvey : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = freshDir("suite");
        const ToolRun run = runTool("--preset sample --areas 3 --mapunits 240 --seed 7 --output " + quote(s_dir.string()));
        ASSERT_EQ(run.status, 0) << run.output;
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static fs::path dbPath() { return s_dir / "sample.sqlite"; }
    static fs::path layerBase() { return s_dir / "sample_soils"; }

    TestDb db{dbPath()};
    static inline fs::path s_dir;
};

} // namespace

TEST(QuillonSampleCli, HelpNamesTheOptions)
{
    const ToolRun run = runTool("--help");
    EXPECT_EQ(run.status, 0);
    for (const char* option : {"--preset", "--seed", "--output", "--areas", "--mapunits"})
        EXPECT_NE(run.output.find(option), std::string::npos) << option;
}

TEST(QuillonSampleCli, RefusesBadArgumentsWithoutWritingAnything)
{
    const fs::path dir = freshDir("bad");
    EXPECT_EQ(runTool("--preset county --output " + quote(dir.string())).status, 64);
    EXPECT_EQ(runTool("--preset sample").status, 64) << "--output is required";
    EXPECT_EQ(runTool("--areas 0 --output " + quote(dir.string())).status, 64);
    const ToolRun few = runTool("--areas 5 --mapunits 3 --output " + quote(dir.string()));
    EXPECT_EQ(few.status, 64);
    EXPECT_NE(few.output.find("--mapunits 3"), std::string::npos) << few.output;
    for (const char* seed : {"-1", "18446744073709551616", "99999999999999999999999", "1.5", "x", "' '"}) {
        const ToolRun bad = runTool(std::string("--seed ") + seed + " --output " + quote(dir.string()));
        EXPECT_EQ(bad.status, 64) << seed << ": " << bad.output;
        EXPECT_NE(bad.output.find("--seed takes a whole number"), std::string::npos) << bad.output;
    }
    EXPECT_TRUE(fs::is_empty(dir));
    fs::remove_all(dir);
}

TEST(QuillonSampleCli, ReportsAnUnusableOutputFolder)
{
    const fs::path dir = freshDir("file");
    const fs::path file = dir / "not-a-folder";
    std::FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const ToolRun run = runTool("--mapunits 10 --areas 1 --output " + quote(file.string()));
    EXPECT_EQ(run.status, 74);
    EXPECT_NE(run.output.find("not-a-folder"), std::string::npos) << run.output;
    fs::remove_all(dir);
}

TEST(QuillonSampleCli, SameSeedSameTablesOtherSeedOtherTables)
{
    const fs::path a = freshDir("a"), b = freshDir("b"), c = freshDir("c");
    const std::string size = "--areas 2 --mapunits 60 ";
    ASSERT_EQ(runTool(size + "--seed 42 --output " + quote(a.string())).status, 0);
    ASSERT_EQ(runTool(size + "--seed 42 --output " + quote(b.string())).status, 0);
    ASSERT_EQ(runTool(size + "--seed 43 --output " + quote(c.string())).status, 0);
    const std::string dumpA = TestDb(a / "sample.sqlite").dump();
    EXPECT_EQ(dumpA, TestDb(b / "sample.sqlite").dump());
    EXPECT_NE(dumpA, TestDb(c / "sample.sqlite").dump());
    for (const char* ext : {".shp", ".shx", ".dbf"}) {
        std::ifstream fa(a / ("sample_soils" + std::string(ext)), std::ios::binary);
        std::ifstream fb(b / ("sample_soils" + std::string(ext)), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fa), {}),
                  std::string(std::istreambuf_iterator<char>(fb), {}))
            << ext;
    }
    // A second run into the same folder replaces the files and leaves nothing else behind.
    ASSERT_EQ(runTool(size + "--seed 43 --output " + quote(a.string())).status, 0);
    EXPECT_EQ(TestDb(a / "sample.sqlite").dump(), TestDb(c / "sample.sqlite").dump());
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(a))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"sample.sqlite", "sample_soils.shp", "sample_soils.shx",
                                            "sample_soils.dbf", "sample_soils.cpg", "sample_soils.prj"}));
    for (const auto& d : {a, b, c})
        fs::remove_all(d);
}

TEST(QuillonSampleCli, AFailedMoveIntoPlaceRestoresTheOldFiles)
{
    const fs::path dir = freshDir("restore");
    const std::string size = "--areas 1 --mapunits 20 ";
    ASSERT_EQ(runTool(size + "--seed 1 --output " + quote(dir.string())).status, 0);
    const std::string oldTables = TestDb(dir / "sample.sqlite").dump();
    std::ifstream oldShp(dir / "sample_soils.shp", std::ios::binary);
    const std::string oldShape(std::istreambuf_iterator<char>(oldShp), {});

    // A folder where a new file should go stops the move after the files before it moved.
    fs::remove(dir / "sample_soils.prj");
    fs::create_directories(dir / "sample_soils.prj" / "kept");
    const ToolRun run = runTool(size + "--seed 2 --output " + quote(dir.string()));
    EXPECT_EQ(run.status, 74);
    EXPECT_NE(run.output.find("sample_soils.prj"), std::string::npos) << run.output;
    EXPECT_EQ(TestDb(dir / "sample.sqlite").dump(), oldTables);
    std::ifstream shp(dir / "sample_soils.shp", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(shp), {}), oldShape);
    EXPECT_TRUE(fs::is_directory(dir / "sample_soils.prj" / "kept"));
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"sample.sqlite", "sample_soils.shp", "sample_soils.shx",
                                            "sample_soils.dbf", "sample_soils.cpg", "sample_soils.prj"}));
    fs::remove_all(dir);
}

TEST_F(SampleSurvey, PassesTheSoilsDatabaseChecks)
{
    EXPECT_TRUE(db.hasColumn("mapunit", "mukey"));
    EXPECT_TRUE(db.hasColumn("mdstatdomdet", "domainname"));
    EXPECT_TRUE(db.hasColumn("mdstatdommas", "domainname"));
    EXPECT_TRUE(db.hasColumn("legend", "lkey"));
    EXPECT_EQ(db.count("SELECT count(*) FROM legend"), 3);
    EXPECT_EQ(db.count("SELECT count(*) FROM mapunit"), 240);
}

TEST_F(SampleSurvey, DeclaredTypesAndKeyIndexes)
{
    const std::set<std::string> keys = {"lkey", "mukey", "cokey", "chkey", "comonthkey", "distmdkey"};
    for (const auto& table : db.tables()) {
        for (const auto& [name, type] : db.columns(table)) {
            const bool known = type == "TEXT" || type == "INTEGER" || type == "SINGLE" || type == "DOUBLE"
                            || type == "BOOLEAN" || type == "DATETIME" || type.rfind("VARCHAR(", 0) == 0;
            EXPECT_TRUE(known) << table << "." << name << " " << type;
            if (keys.count(name)) {
                EXPECT_EQ(type, "TEXT") << table << "." << name;
            }
        }
    }
    // The joins of the engine find their rows through an index.
    const std::vector<std::pair<std::string, std::string>> indexed = {
        {"mapunit", "mukey"}, {"mapunit", "lkey"}, {"component", "mukey"}, {"component", "cokey"},
        {"chorizon", "cokey"}, {"comonth", "cokey"}, {"cosoilmoist", "comonthkey"}, {"cointerp", "cokey"},
        {"muaggatt", "mukey"}, {"legend", "lkey"}};
    for (const auto& [table, column] : indexed) {
        std::string plan;
        for (const auto& r : db.rows("EXPLAIN QUERY PLAN SELECT * FROM \"" + table + "\" WHERE " + column + "='1'"))
            plan += r.back().value_or("") + ";";
        EXPECT_NE(plan.find("INDEX"), std::string::npos) << table << "." << column << ": " << plan;
    }
}

TEST_F(SampleSurvey, RelationshipsDescribeEveryJoin)
{
    const Rows rel = db.rows("SELECT ltabphyname, rtabphyname, ltabcolphyname, rtabcolphyname FROM mdstatrshipdet");
    std::set<std::string> pairs;
    for (const auto& r : rel) {
        pairs.insert(*r[0] + ">" + *r[1]);
        EXPECT_TRUE(db.hasColumn(*r[0], *r[2])) << *r[0] << "." << *r[2];
        EXPECT_TRUE(db.hasColumn(*r[1], *r[3])) << *r[1] << "." << *r[3];
        // No orphan children: every child row finds its parent.
        EXPECT_EQ(db.count("SELECT count(*) FROM \"" + *r[1] + "\" c WHERE NOT EXISTS (SELECT 1 FROM \"" + *r[0]
                           + "\" p WHERE p." + *r[2] + "=c." + *r[3] + ")"),
                  0)
            << *r[0] << ">" << *r[1];
    }
    for (const char* p : {"legend>mapunit", "mapunit>component", "mapunit>muaggatt", "mapunit>mutext",
                          "mapunit>mucropyld", "component>chorizon", "component>comonth", "component>cointerp",
                          "component>cotext", "component>corestrictions", "component>cocropyld",
                          "comonth>cosoilmoist", "distmd>distlegendmd", "mdstatdommas>mdstatdomdet"})
        EXPECT_TRUE(pairs.count(p)) << p;
    EXPECT_EQ(db.count("SELECT count(*) FROM (SELECT rtabphyname FROM mdstatrshipdet GROUP BY rtabphyname HAVING count(*)>1)"), 0)
        << "the query builder follows the first parent of a table";
}

TEST_F(SampleSurvey, ViewerAndEngineQueriesRun)
{
    // The legend query at the top of every hierarchical run.
    EXPECT_EQ(db.rows("SELECT legend.lkey,legend.areasymbol,legend.areaname,distlegendmd.ssastatus,"
                      "distlegendmd.cordate,distgendate FROM legend,distlegendmd,distmd WHERE "
                      "distlegendmd.lkey=legend.lkey   AND distlegendmd.distmdkey=distmd.distmdkey").size(),
              3u);
    // The map unit list of the report tabs, in the survey's sort order.
    const Rows list = db.rows(
        "SELECT areasymbol AS [Survey Area],musym AS [Map Unit],       muname AS [Map Unit Name],sms.mukey,"
        "areaname,       ssastatus,cordate,'' AS distgendate,FALSE AS Selected FROM mapunit,legend,"
        "[SYSTEM - Mapunit Sort Specifications] sms WHERE mapunit.lkey=legend.lkey AND legend.lkey=sms.lkey "
        "  AND mapunit.mukey=sms.mukey  AND sms.mukey IN (SELECT mukey FROM mapunit) ORDER BY sms.lseq,sms.museq");
    ASSERT_EQ(list.size(), 240u);
    for (std::size_t i = 1; i < list.size(); ++i)
        if (*list[i][0] == *list[i - 1][0]) {
            EXPECT_LT(*list[i - 1][1], *list[i][1]) << "listed by symbol within a survey area";
        }
    EXPECT_EQ(db.column("SELECT DISTINCT monthseq,month FROM comonth ORDER BY monthseq").size(), 12u);
    EXPECT_GE(db.column("SELECT DISTINCT textcat  FROM mutext WHERE mapunittextkind='Nontechnical description' ORDER BY textcat").size(), 4u);
    EXPECT_EQ(db.count("SELECT count(DISTINCT musym||'/'||lkey) - count(*) FROM mapunit"), 0) << "symbols unique per area";
}

TEST_F(SampleSurvey, ValuesFollowSoilScience)
{
    EXPECT_EQ(db.count("SELECT count(*) FROM chorizon WHERE sandtotal_r IS NOT NULL AND silttotal_r IS NOT NULL "
                       "AND claytotal_r IS NOT NULL AND abs(sandtotal_r+silttotal_r+claytotal_r-100) > 0.01"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM chorizon WHERE ph1to1h2o_r < 3.5 OR ph1to1h2o_r > 9.5 "
                       "OR ph1to1h2o_l > ph1to1h2o_r OR ph1to1h2o_r > ph1to1h2o_h"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM chorizon WHERE hzdepb_r <= hzdept_r OR awc_r < 0 OR awc_r > 0.7"), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM component WHERE comppct_l > comppct_r OR comppct_r > comppct_h"), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM (SELECT mukey FROM component GROUP BY mukey HAVING sum(comppct_r) > 100)"), 0);
    // Horizons stack: each begins where the one above ends, the first at the surface.
    std::map<std::string, int> bottom;
    for (const auto& r : db.rows("SELECT cokey, hzdept_r, hzdepb_r FROM chorizon ORDER BY cokey, hzdept_r")) {
        const auto it = bottom.find(*r[0]);
        EXPECT_EQ(std::stoi(*r[1]), it == bottom.end() ? 0 : it->second) << "component " << *r[0];
        bottom[*r[0]] = std::stoi(*r[2]);
    }
    // Water tables are deeper in the dry late summer than in spring.
    EXPECT_EQ(db.count("SELECT count(*) FROM (SELECT m.cokey, "
                       " min(CASE WHEN monthseq IN (3,4) THEN soimoistdept_r END) AS spring,"
                       " min(CASE WHEN monthseq IN (8,9) THEN soimoistdept_r END) AS summer"
                       " FROM comonth m JOIN cosoilmoist s ON s.comonthkey=m.comonthkey"
                       " WHERE soimoiststat='Wet' GROUP BY m.cokey) WHERE summer < spring"),
              0);
    EXPECT_GT(db.count("SELECT count(*) FROM cosoilmoist WHERE soimoiststat='Wet'"), 0);
    // Every rated component has one rating per rule; reasons belong to a rated rule.
    EXPECT_EQ(db.count("SELECT count(*) FROM (SELECT cokey, mrulename FROM cointerp WHERE ruledepth=0 "
                       "GROUP BY cokey, mrulename HAVING count(*) <> 1)"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM cointerp r WHERE ruledepth=1 AND NOT EXISTS (SELECT 1 FROM cointerp m "
                       "WHERE m.ruledepth=0 AND m.cokey=r.cokey AND m.mrulename=r.mrulename)"),
              0);
}

TEST_F(SampleSurvey, EdgeCasesArePresent)
{
    // Components tied on the largest percent of their map unit.
    EXPECT_GT(db.count("SELECT count(*) FROM (SELECT c.mukey FROM component c JOIN (SELECT mukey, max(comppct_r) m "
                       "FROM component GROUP BY mukey) x ON x.mukey=c.mukey AND c.comppct_r=x.m GROUP BY c.mukey "
                       "HAVING count(*) > 1)"),
              0);
    EXPECT_GT(db.count("SELECT count(*) FROM component WHERE comppct_r IS NULL"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM chorizon WHERE ph1to1h2o_r IS NULL OR om_r IS NULL OR awc_r IS NULL"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM component WHERE drainagecl IS NULL OR hydricrating IS NULL"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM component c WHERE NOT EXISTS (SELECT 1 FROM chorizon h WHERE h.cokey=c.cokey)"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM (SELECT mukey FROM component GROUP BY mukey HAVING count(comppct_r)=count(*) "
                       "AND sum(comppct_r) < 100)"),
              0);
    EXPECT_GT(db.count("SELECT count(*) FROM (SELECT mukey FROM component GROUP BY mukey HAVING count(*) = 1)"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM (SELECT mukey FROM component GROUP BY mukey HAVING count(*) >= 8)"), 0);
    // Horizons that only touch the usual layer limits.
    for (int depth : {25, 50, 100})
        EXPECT_GT(db.count("SELECT count(*) FROM chorizon WHERE hzdept_r=" + std::to_string(depth)), 0) << depth;
}

TEST_F(SampleSurvey, ShapefileNamesTheSameMapUnits)
{
    SHPHandle shp = SHPOpen((layerBase().string() + ".shp").c_str(), "rb");
    DBFHandle dbf = DBFOpen((layerBase().string() + ".dbf").c_str(), "rb");
    ASSERT_NE(shp, nullptr);
    ASSERT_NE(dbf, nullptr);
    int entities = 0, type = 0;
    SHPGetInfo(shp, &entities, &type, nullptr, nullptr);
    EXPECT_EQ(type, SHPT_POLYGON);
    EXPECT_EQ(DBFGetRecordCount(dbf), entities);
    EXPECT_GT(entities, 240);
    // Named in upper case, as the agency's downloads are; readers must not depend on case.
    std::vector<std::string> names;
    for (int f = 0; f < DBFGetFieldCount(dbf); ++f) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        DBFGetFieldInfo(dbf, f, name, nullptr, nullptr);
        names.emplace_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"AREASYMBOL", "MUSYM", "MUKEY"}));
    const int fKey = DBFGetFieldIndex(dbf, "MUKEY");
    const int fSym = DBFGetFieldIndex(dbf, "MUSYM");
    const int fArea = DBFGetFieldIndex(dbf, "AREASYMBOL");
    ASSERT_GE(fKey, 0);
    ASSERT_GE(fSym, 0);
    ASSERT_GE(fArea, 0);
    const std::set<std::string> areas = [&] {
        std::set<std::string> out;
        for (const auto& a : db.column("SELECT areasymbol FROM legend"))
            out.insert(a);
        return out;
    }();

    std::set<std::string> inDb;
    for (const auto& k : db.column("SELECT mukey FROM mapunit"))
        inDb.insert(k);
    std::set<std::string> drawn;
    int nulls = 0, unknown = 0;
    for (int i = 0; i < entities; ++i) {
        SHPObject* obj = SHPReadObject(shp, i);
        ASSERT_NE(obj, nullptr);
        EXPECT_EQ(obj->nParts, 1);
        EXPECT_GE(obj->nVertices, 4);
        EXPECT_EQ(obj->padfX[0], obj->padfX[obj->nVertices - 1]) << "closed ring";
        EXPECT_EQ(obj->padfY[0], obj->padfY[obj->nVertices - 1]) << "closed ring";
        SHPDestroyObject(obj);
        EXPECT_EQ(areas.count(DBFReadStringAttribute(dbf, i, fArea)), 1u) << "record " << i;
        if (DBFIsAttributeNULL(dbf, i, fKey)) {
            ++nulls;
            continue;
        }
        const std::string key = DBFReadStringAttribute(dbf, i, fKey);
        const std::string sym = DBFReadStringAttribute(dbf, i, fSym);
        if (!inDb.count(key)) {
            ++unknown;
            continue;
        }
        drawn.insert(key);
        EXPECT_EQ(sym, db.column("SELECT musym FROM mapunit WHERE mukey='" + key + "'").at(0));
    }
    SHPClose(shp);
    DBFClose(dbf);
    EXPECT_GT(nulls, 0);
    EXPECT_GT(unknown, 0);
    EXPECT_LT(unknown, entities / 20) << "all but a few keys name map units of the database";
    EXPECT_LT(drawn.size(), inDb.size()) << "a few map units of the database are not drawn";
    EXPECT_GT(drawn.size(), inDb.size() * 9 / 10);
}
