#include "../support/SqliteFile.h"
#include "../support/TempFolder.h"
#include "quillon/Error.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/DataSources.h"
#include "quillon/ado/QueryCopies.h"
#include "quillon/ado/ReadWatch.h"
#include "quillon/registry/Registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using qln::ado::Connection;
using qln::ado::Recordset;

namespace {

const char* kSoils = R"sql(
CREATE TABLE legend (areasymbol VARCHAR(20), lkey VARCHAR(30));
CREATE TABLE mapunit (musym VARCHAR(6), muname VARCHAR(175), lkey VARCHAR(30), mukey VARCHAR(30));
CREATE TABLE component (comppct_r SMALLINT, compname VARCHAR(60), mukey VARCHAR(30), cokey VARCHAR(30));
CREATE TABLE chorizon (hzdept_r SMALLINT, hzdepb_r SMALLINT, claytotal_r REAL, cokey VARCHAR(30), chkey VARCHAR(30));
CREATE TABLE MU_Data (mukey VARCHAR(30), musym VARCHAR(10));
INSERT INTO legend VALUES ('XY001','1'),('XY002','2');
INSERT INTO mapunit VALUES ('Aa','Alpha','1','10'),('Bb','Beta','1','11'),('Cc','Gamma','2','20');
INSERT INTO component VALUES (60,'Alpha','10','100'),(40,'Minor','10','101'),(100,'Beta','11','110'),(NULL,'Lost','99','990');
INSERT INTO chorizon VALUES (0,20,12.5,'100','1000'),(20,60,30,'100','1001'),(0,15,8,'101','1010'),(0,200,NULL,'110','1100');
INSERT INTO MU_Data VALUES ('10','Aa'),('11','Bb');
)sql";

struct ConnectionTest : ::testing::Test {
    qln::test::TempFolder temp;
    std::filesystem::path soils = temp / "soils.sqlite";

    void SetUp() override { qln::test::runSql(soils, kSoils); }

    Connection openSoils(const std::string& extra = "")
    {
        Connection cn;
        cn.setConnectionString("DBQ=" + soils.string() + ";" + extra);
        cn.setCursorLocation(qln::ado::adUseClient);
        cn.open();
        return cn;
    }
};

std::string descriptionOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const qln::EngineError& error) {
        return error.description();
    }
    return "<no error>";
}

} // namespace

TEST(ConnectionString, PairsWithBracesAndAnyCase)
{
    const auto pairs = qln::ado::parseConnectionString(
        "Driver={Microsoft Access Driver (*.mdb)};dbq=/data/a;b.mdb;DefaultDir= /data ;Provider=MSDataShape;");
    EXPECT_EQ(pairs.at("DRIVER"), "Microsoft Access Driver (*.mdb)");
    EXPECT_EQ(pairs.at("DBQ"), "/data/a");
    EXPECT_EQ(pairs.at("DEFAULTDIR"), "/data");
    EXPECT_EQ(pairs.at("PROVIDER"), "MSDataShape");
    EXPECT_EQ(qln::ado::parseConnectionString("DBQ={x;}}y}").at("DBQ"), "x;}y");
}

TEST_F(ConnectionTest, QueryRowsCarryTypesAndNulls)
{
    Connection cn = openSoils("Provider=MSDASQL.1;");
    Recordset rs = cn.execute("SELECT * FROM chorizon ORDER BY chkey");
    ASSERT_EQ(rs.recordCount(), 4);
    EXPECT_EQ(rs.field(0).type, qln::ado::adSmallInt);
    EXPECT_EQ(rs.field(3).type, qln::ado::adVarChar);
    EXPECT_EQ(rs.field(3).definedSize, 30);
    EXPECT_EQ(rs.value("cokey").str(), "100");  // digit keys stay texts
    rs.moveLast();
    EXPECT_TRUE(rs.value("claytotal_r").isNull());
}

TEST_F(ConnectionTest, DataSourceOfTheProcessAndOfTheRegistry)
{
    qln::ado::defineDataSource("TestRules", soils);
    Connection cn;
    cn.setConnectionString("DSN=TestRules");
    cn.open();
    EXPECT_EQ(cn.execute("SELECT count(*) AS n FROM mapunit").value("n").integer(), 3);

    auto store = qln::registry::Store::fromEnvironment();
    store.setString(qln::registry::Hive::LocalMachine, "Software\\ODBC\\ODBC.INI\\Soils Here", "Database",
                    soils.string());
    store.setString(qln::registry::Hive::LocalMachine, "Software\\ODBC\\ODBC.INI\\ODBC Data Sources", "Soils Here",
                    "Microsoft Access Driver (*.mdb)");
    Connection viaRegistry;
    viaRegistry.setConnectionString("DSN=soils here;");
    viaRegistry.open();
    EXPECT_TRUE(viaRegistry.isOpen());
    const auto names = qln::ado::dataSourceNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "Soils Here"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "TestRules"), names.end());
}

TEST_F(ConnectionTest, BadDatabasesGiveOneClearErrorNamingThem)
{
    Connection cn;
    cn.setConnectionString("DSN=NoSuchSource;");
    EXPECT_NE(descriptionOf([&] { cn.open(); }).find("NoSuchSource"), std::string::npos);

    const auto text = temp / "notes.txt";
    std::ofstream(text) << "just some words, not a database at all";
    cn.setConnectionString("DBQ=" + text.string());
    EXPECT_NE(descriptionOf([&] { cn.open(); }).find("notes.txt"), std::string::npos);

    const auto empty = temp / "empty.mdb";
    std::ofstream(empty).flush();
    cn.setConnectionString("DBQ=" + empty.string());
    EXPECT_NE(descriptionOf([&] { cn.open(); }).find("empty.mdb"), std::string::npos);

    // The first page of a real database, cut short.
    const auto truncated = temp / "cut.sqlite";
    {
        std::ifstream in(soils, std::ios::binary);
        std::string bytes(std::istreambuf_iterator<char>(in), {});
        std::ofstream(truncated, std::ios::binary) << bytes.substr(0, 600);
    }
    const auto before = std::filesystem::file_size(truncated);
    cn.setConnectionString("DBQ=" + truncated.string());
    EXPECT_NE(descriptionOf([&] { cn.open(); }).find("cut.sqlite"), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(truncated), before);
    EXPECT_FALSE(cn.isOpen());

    cn.setConnectionString("Provider=MSDASQL.1;");
    EXPECT_NE(descriptionOf([&] { cn.open(); }).find("names no database"), std::string::npos);
}

TEST_F(ConnectionTest, ProviderErrorsCarrySQLitesMessage)
{
    Connection cn = openSoils();
    const auto text = descriptionOf([&] { cn.execute("SELECT nosuchcol FROM mapunit"); });
    EXPECT_NE(text.find("no such column"), std::string::npos);
    EXPECT_NE(text.find("SELECT nosuchcol FROM mapunit"), std::string::npos);
}

TEST_F(ConnectionTest, UpdatesAndNewRowsReachTheTable)
{
    {
        Connection cn = openSoils();
        cn.execute("Alter Table MU_Data ADD Drain single");
        Recordset rs = cn.execute("SELECT * FROM MU_Data");
        EXPECT_EQ(rs.field(2).type, qln::ado::adSingle);
        rs.setFilter("mukey='11'");
        rs.setValue("Drain", 1.5f);
        rs.update();
        rs.addNew();
        rs.setValue("mukey", "12");
        rs.setValue("musym", "Zz");
        rs.update();
        rs.setValue("Drain", 2.25f);  // a new row, once stored, updates by its own id
        rs.update();
    }
    Connection again = openSoils();
    Recordset rs = again.execute("SELECT mukey, Drain FROM MU_Data ORDER BY mukey");
    ASSERT_EQ(rs.recordCount(), 3);
    EXPECT_TRUE(rs.value("Drain").isNull());
    rs.moveNext();
    EXPECT_FLOAT_EQ(rs.value("Drain").single(), 1.5f);
    rs.moveNext();
    EXPECT_EQ(rs.value("mukey").str(), "12");
    EXPECT_FLOAT_EQ(rs.value("Drain").single(), 2.25f);

    // A single is stored as the decimal it shows, for other readers of the file, and reads
    // back as the same float here.
    rs.setValue("Drain", 0.22f);
    rs.update();
    Recordset raw = again.execute("SELECT Drain + 0 AS raw, Drain FROM MU_Data WHERE mukey='12'");
    EXPECT_EQ(raw.value("raw").real(), 0.22);
    EXPECT_EQ(raw.value("Drain").single(), 0.22f);
}

TEST_F(ConnectionTest, DisconnectedAndJoinedRowsStayInMemory)
{
    Connection cn = openSoils();
    Recordset rs = cn.execute("SELECT * FROM MU_Data");
    rs.disconnect();
    EXPECT_FALSE(rs.isConnected());
    rs.setValue("musym", "Changed");
    rs.update();
    Recordset joined = cn.execute("SELECT mapunit.mukey, legend.areasymbol FROM mapunit, legend WHERE mapunit.lkey=legend.lkey");
    EXPECT_FALSE(joined.isConnected());
    EXPECT_EQ(cn.execute("SELECT musym FROM MU_Data WHERE mukey='10'").value(0).str(), "Aa");
}

TEST_F(ConnectionTest, ColumnCatalogue)
{
    Connection cn = openSoils();
    const auto tables = cn.tableNames();
    EXPECT_NE(std::find(tables.begin(), tables.end(), "chorizon"), tables.end());
    const auto columns = cn.columns("component");
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[0].name, "comppct_r");
    EXPECT_TRUE(cn.columns("nosuchtable").empty());
}

TEST_F(ConnectionTest, ThreeLevelShapeRelatesChildrenToParents)
{
    Connection cn = openSoils("Provider=MSDataShape;");
    ASSERT_TRUE(cn.isShapeProvider());
    Recordset legend = cn.execute(
        "SHAPE {SELECT lkey, areasymbol FROM legend} AS cmdlegend APPEND "
        "((SHAPE {SELECT lkey,mukey,musym FROM mapunit} AS cmdmapunit APPEND "
        "({SELECT mukey,cokey,comppct_r FROM component ORDER BY comppct_r DESC} AS cmdcomponent "
        "RELATE 'mukey' TO 'mukey') AS cmdcomponent) AS cmdmapunit RELATE 'lkey' TO 'lkey') AS cmdmapunit");
    ASSERT_EQ(legend.recordCount(), 2);
    ASSERT_EQ(legend.field(2).name, "cmdmapunit");
    EXPECT_TRUE(legend.isChapter(2));

    Recordset units = legend.chapter("cmdmapunit");
    ASSERT_EQ(units.recordCount(), 2);
    EXPECT_EQ(units.value("mukey").str(), "10");
    Recordset components = units.chapter("cmdcomponent");
    ASSERT_EQ(components.recordCount(), 2);
    EXPECT_EQ(components.value("cokey").str(), "100");
    components.moveNext();
    EXPECT_EQ(components.value("cokey").str(), "101");
    units.moveNext();
    EXPECT_EQ(units.chapter("cmdcomponent").recordCount(), 1);

    legend.moveNext();
    Recordset second = legend.chapter("cmdmapunit");
    ASSERT_EQ(second.recordCount(), 1);
    EXPECT_EQ(second.chapter("cmdcomponent").recordCount(), 0);  // a map unit without components

    // A chapter is a record set of its own: filters and clones stay within its rows.
    units.moveFirst();
    Recordset chapter = units.chapter("cmdcomponent");
    chapter.setFilter("comppct_r < 50");
    EXPECT_EQ(chapter.recordCount(), 1);
    EXPECT_EQ(chapter.clone().recordCount(), 2);
}

TEST_F(ConnectionTest, ShapeTextsThatAreWrongNameTheProblem)
{
    Connection cn = openSoils("Provider=MSDataShape;");
    EXPECT_NE(descriptionOf([&] { cn.execute("SHAPE {SELECT lkey FROM legend} APPEND ({SELECT lkey FROM mapunit}"); })
                  .find("SHAPE"),
              std::string::npos);
    EXPECT_NE(descriptionOf([&] {
                  cn.execute("SHAPE {SELECT lkey FROM legend} APPEND ({SELECT mukey FROM mapunit} RELATE lkey TO lkey) AS x");
              }).find("lkey"),
              std::string::npos);
}

TEST(ConnectionString, QuotedValuesReadBackExactly)
{
    for (const std::string value : {"plain", "a}b", "}", "}}", "{x}", "a;b=c", " blanks around ", "\"q'uote\"",
                                    "na\xC3\xAFve", "", "{", "x;DBQ=/other.sqlite"}) {
        const std::string text = "DBQ=" + qln::ado::quoteConnectionValue(value) + ";Provider=MSDataShape;";
        const auto pairs = qln::ado::parseConnectionString(text);
        EXPECT_EQ(pairs.at("DBQ"), value) << text;
        EXPECT_EQ(pairs.at("PROVIDER"), "MSDataShape") << text;
    }
}

TEST_F(ConnectionTest, APathWithBracesSemicolonsAndQuotesOpensExactlyThatFile)
{
    // Read without quoting, the path would name the decoy through its own "DBQ=".
    const std::filesystem::path decoy = temp / "decoy.sqlite";
    qln::test::runSql(decoy, "CREATE TABLE marker (name TEXT); INSERT INTO marker VALUES ('decoy');");
    for (const std::string& name : {"t;DBQ=" + decoy.string(), std::string("a}b{c}}d=e 'f\" g\xC3\xA9")}) {
        const std::filesystem::path file = temp / name / "so}ils;.sqlite";
        std::filesystem::create_directories(file.parent_path());
        qln::test::runSql(file, "CREATE TABLE marker (name TEXT); INSERT INTO marker VALUES ('target');");
        Connection cn;
        cn.setConnectionString("DBQ=" + qln::ado::quoteConnectionValue(file.string()) + ";Provider=MSDataShape;");
        cn.open();
        EXPECT_EQ(cn.databasePath(), file);
        EXPECT_EQ(cn.execute("SELECT name FROM marker").value(0).str(), "target") << name;
    }
}

// Cells whose stored class differs from the declared type, read alone and as a SHAPE level:
// empty texts stay "" (not Null), numbers kept in text columns come back as SQLite writes
// them, texts in number columns stay texts, and the level's rows are the query's rows.
TEST_F(ConnectionTest, CellsOfEveryStorageReadAlikeInQueriesAndShapeLevels)
{
    qln::test::runSql(soils, R"sql(
CREATE TABLE cells (k VARCHAR(10), t VARCHAR(20), r REAL, b BOOLEAN, n INTEGER);
INSERT INTO cells VALUES ('1', '', 1.5, 'Yes', 7), ('1', 12, 'n/a', 'false', NULL), ('1', 2.5, -0.25, 0, 'x'),
                         ('1', 'Grüße', NULL, 1, 9007199254740993), ('2', NULL, 3, NULL, -4);
)sql");
    const auto check = [](Recordset& rs) {
        ASSERT_EQ(rs.recordCount(), 4);
        EXPECT_TRUE(rs.value("t").isText());
        EXPECT_EQ(rs.value("t").str(), "");
        EXPECT_DOUBLE_EQ(rs.value("r").real(), 1.5);
        EXPECT_TRUE(rs.value("b").boolean());
        EXPECT_EQ(rs.value("n").integer(), 7);
        rs.moveNext();
        EXPECT_EQ(rs.value("t").str(), "12");
        EXPECT_EQ(rs.value("r").str(), "n/a");
        EXPECT_FALSE(rs.value("b").boolean());
        EXPECT_TRUE(rs.value("n").isNull());
        rs.moveNext();
        EXPECT_EQ(rs.value("t").str(), "2.5");
        EXPECT_DOUBLE_EQ(rs.value("r").real(), -0.25);
        EXPECT_FALSE(rs.value("b").boolean());
        EXPECT_EQ(rs.value("n").str(), "x");
        rs.moveNext();
        EXPECT_EQ(rs.value("t").str(), "Grüße");
        EXPECT_TRUE(rs.value("r").isNull());
        EXPECT_EQ(rs.value("n").integer(), 9007199254740993);
    };
    Connection plain = openSoils();
    Recordset rows = plain.execute("SELECT * FROM cells WHERE k='1'");
    check(rows);

    Connection shaped = openSoils("Provider=MSDataShape;");
    Recordset keys = shaped.execute("SHAPE {SELECT DISTINCT k FROM cells ORDER BY k} AS cmdk APPEND "
                                    "({SELECT * FROM cells} AS cmdcells RELATE 'k' TO 'k') AS cmdcells");
    Recordset level = keys.chapter("cmdcells");
    check(level);
    // Rows of a SHAPE level come from a query per level: changes stay in memory.
    EXPECT_FALSE(level.isConnected());
    level.moveFirst();
    level.setValue("t", "changed");
    level.update();
    EXPECT_EQ(plain.execute("SELECT count(*) FROM cells WHERE t='changed'").value(0).integer(), 0);
}

TEST_F(ConnectionTest, QueryCopiesKeepRowsOrderAndTypesAndSayWhatSeeks)
{
    Connection cn = openSoils();
    const std::string kept = "chorizon.cokey IN (SELECT component.cokey FROM component WHERE component.mukey='10')";
    struct Case {
        const char* indexes;
        std::string sql;
        bool seeks;
    };
    const std::vector<Case> cases = {
        {"", "SELECT cokey FROM chorizon WHERE " + kept, false},
        // The parent's rows are walked whole too without an index on their own relation.
        {"CREATE INDEX h_cokey ON chorizon (cokey);", "SELECT cokey FROM chorizon WHERE " + kept, false},
        {"CREATE INDEX h_cokey ON chorizon (cokey); CREATE INDEX c_mukey ON component (mukey);",
         "SELECT cokey FROM chorizon WHERE " + kept, true},
        // Another index answering the level's own condition walks every row it keeps.
        {"CREATE INDEX h_top ON chorizon (hzdept_r);", "SELECT cokey FROM chorizon WHERE hzdept_r=0 AND " + kept, false},
        {"CREATE INDEX h_cokey ON chorizon (cokey);",
         "SELECT cokey FROM chorizon WHERE chorizon.cokey>='100' AND chorizon.cokey<='101'", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        qln::test::runSql(soils, std::string("DROP INDEX IF EXISTS h_cokey; DROP INDEX IF EXISTS h_top; DROP INDEX IF EXISTS c_mukey;") +
                                       c.indexes);
        EXPECT_EQ(qln::ado::seeksBy(cn, c.sql, "chorizon", "cokey"), c.seeks);
    }

    auto copies = qln::ado::QueryCopies::create(cn);
    ASSERT_TRUE(copies);
    const auto copy = copies->copy("SELECT cokey,claytotal_r,hzdept_r FROM chorizon ORDER BY claytotal_r DESC", {"cokey"});
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->columns, "\"cokey\",\"claytotal_r\",\"hzdept_r\"");
    // No copy where a column's type would come from its first row, or two share a name.
    EXPECT_FALSE(copies->copy("SELECT cokey, hzdept_r + 1 FROM chorizon", {}));
    EXPECT_FALSE(copies->copy("SELECT cokey, cokey FROM chorizon", {}));
    EXPECT_FALSE(copies->copy("SELECT cokey FROM chorizon", {"chkey"}));

    Connection shaped = openSoils("Provider=MSDataShape;");
    copies->attach(shaped);
    Recordset rows = shaped.execute("SELECT " + copy->columns + " FROM " + qln::ado::QueryCopies::kSchema + "." +
                                    copy->table + " AS h WHERE h.cokey IN ('100','101') ORDER BY h._rowid_");
    Recordset original = cn.execute("SELECT cokey,claytotal_r,hzdept_r FROM chorizon WHERE cokey IN ('100','101') "
                                    "ORDER BY claytotal_r DESC");
    ASSERT_EQ(rows.recordCount(), 3);
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(rows.field(f).type, original.field(f).type);
        EXPECT_EQ(rows.field(f).definedSize, original.field(f).definedSize);
    }
    for (; !original.eof(); original.moveNext(), rows.moveNext()) {
        for (int f = 0; f < 3; ++f)
            EXPECT_EQ(rows.value(f).text(), original.value(f).text());
    }
    qln::ado::QueryCopies::detach(shaped);
    const std::filesystem::path file = copies->path();
    copies.reset();
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(ConnectionTest, AReadWatchHearsLongQueriesAsTheyReadAndCanStopThem)
{
    // 200,000 rows, read plainly and, so that no row comes before all are read, sorted.
    Connection cn = openSoils();
    const std::string rows = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<200000) ";
    for (const std::string& order : {std::string(), std::string(" ORDER BY i % 7, i DESC")}) {
        SCOPED_TRACE(order);
        std::vector<long> seen;
        {
            const qln::ado::ReadWatch watch([&seen](long read) { seen.push_back(read); });
            EXPECT_EQ(cn.execute(rows + "SELECT i FROM n" + order).recordCount(), 200000);
        }
        ASSERT_GE(seen.size(), 3u);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_LE(seen.back(), 200000);
        if (order.empty()) {
            EXPECT_GT(seen.back(), seen.front());  // the count moves as rows come
        }

        // What the watch throws stops the query and comes out of it; the connection stays usable.
        struct Stop {};
        long heard = 0;
        {
            const qln::ado::ReadWatch watch([&heard](long) {
                if (++heard == 2)
                    throw Stop{};
            });
            EXPECT_THROW(cn.execute(rows + "SELECT i FROM n" + order), Stop);
        }
        EXPECT_EQ(heard, 2);
        EXPECT_EQ(cn.execute("SELECT count(*) FROM component").value(0).integer(), 4);
    }
    // Without a watch nothing is told.
    EXPECT_EQ(cn.execute(rows + "SELECT i FROM n").recordCount(), 200000);
}
