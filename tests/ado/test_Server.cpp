// A soils database on a PostgreSQL server: loading, reading back as from SQLite, and the
// messages of bad connection data. Runs only under tests/support/pg_cluster.sh, which
// starts a throw-away server and sets PGHOST, PGUSER, PGPASSWORD and PGDATABASE.

#include "SqliteFile.h"
#include "TempFolder.h"
#include "quillon/Error.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/ServerImport.h"
#include "quillon/registry/Registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace qln::ado {
namespace {

using test::runSql;
using test::TempFolder;

const char* const kSoils = R"(
CREATE TABLE mapunit (lkey TEXT, mukey VARCHAR(30), musym VARCHAR(6), muacres INTEGER, slope SINGLE, kfact DOUBLE,
                      farm BOOLEAN, recdate DATETIME, note TEXT);
INSERT INTO mapunit VALUES ('1', 'O''Brien Ñ-1', 'Ab', 120, 0.15, 2.5e-7, 1, '2004-05-01 13:05:00', 'a' || char(9) || 'b\c' || char(10));
INSERT INTO mapunit VALUES ('1', 'Zürich"2', 'Çé', NULL, NULL, NULL, 0, NULL, NULL);
INSERT INTO mapunit VALUES ('1', 'plain3\', 'P', -7, 3, 1, NULL, '1999-12-31', '');
CREATE TABLE component (mukey VARCHAR(30), cokey TEXT, comppct_r INTEGER);
INSERT INTO component VALUES ('O''Brien Ñ-1', 'c1', 60), ('O''Brien Ñ-1', 'c2', 40), ('Zürich"2', 'c3', NULL),
                             ('plain3\', 'c4', 100);
CREATE TABLE "SYSTEM - Mapunit Sort Specifications" (lkey TEXT, mukey VARCHAR(30), museq INTEGER);
INSERT INTO "SYSTEM - Mapunit Sort Specifications" VALUES ('1', 'O''Brien Ñ-1', 2), ('1', 'Zürich"2', 1);
CREATE TABLE mdstatrshipdet (ltabphyname VARCHAR(30), rtabphyname VARCHAR(30), ltabcolphyname VARCHAR(30),
                             rtabcolphyname VARCHAR(30));
INSERT INTO mdstatrshipdet VALUES ('mapunit', 'component', 'mukey', 'mukey');
)";

class ServerTest : public ::testing::Test {
protected:
    TempFolder temp;
    std::filesystem::path file = temp / "soils.sqlite";
    std::string fileConnect = "DBQ=" + file.string() + ";";
    std::string schema = std::string("t_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string serverConnect = "Driver={PostgreSQL Unicode};Schema=" + schema + ";";

    void SetUp() override
    {
        ASSERT_NE(std::getenv("PGHOST"), nullptr) << "run under tests/support/pg_cluster.sh";
        runSql(file, kSoils);
    }

    Recordset read(const std::string& connect, const std::string& sql)
    {
        Connection connection;
        connection.setConnectionString(connect);
        connection.open();
        return connection.execute(sql);
    }

    // The description of the error the action raises ("" when it raises none).
    static std::string errorOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const EngineError& error) {
            return error.description();
        }
        return {};
    }
};

TEST_F(ServerTest, LoadedTablesReadBackAsFromTheFile)
{
    importToServer(fileConnect, serverConnect);
    for (const char* sql : {"SELECT * FROM mapunit", "SELECT * FROM component ORDER BY comppct_r DESC",
                            "SELECT museq AS [Seq], mukey FROM [SYSTEM - Mapunit Sort Specifications] ORDER BY museq",
                            "SELECT mukey, FALSE AS Selected, muacres * 2 AS twice FROM mapunit WHERE musym LIKE 'a%'"}) {
        Recordset here = read(fileConnect, sql);
        Recordset there = read(serverConnect, sql);
        ASSERT_EQ(here.fieldCount(), there.fieldCount()) << sql;
        ASSERT_EQ(here.recordCount(), there.recordCount()) << sql;
        for (int f = 0; f < here.fieldCount(); ++f) {
            EXPECT_EQ(here.field(f).name, there.field(f).name) << sql;
            EXPECT_EQ(here.field(f).type, there.field(f).type) << sql << " " << here.field(f).name;
        }
        for (; !here.eof(); here.moveNext(), there.moveNext()) {
            for (int f = 0; f < here.fieldCount(); ++f) {
                EXPECT_EQ(here.value(f).kind(), there.value(f).kind()) << sql << " " << here.field(f).name;
                EXPECT_EQ(here.value(f).text(), there.value(f).text()) << sql << " " << here.field(f).name;
            }
        }
    }
    // The viewer's map-unit list: an aliased table in brackets, an IN list of such keys.
    const std::string list = "SELECT musym AS [Map Unit],sms.mukey,FALSE AS Selected FROM mapunit,"
                             "[SYSTEM - Mapunit Sort Specifications] sms WHERE mapunit.mukey=sms.mukey "
                             "AND sms.mukey IN ('Zürich\"2','O''Brien Ñ-1') ORDER BY sms.museq";
    Recordset units = read(serverConnect, list);
    ASSERT_EQ(units.recordCount(), 2);
    EXPECT_EQ(units.value("Map Unit").text(), "Çé");
    EXPECT_EQ(units.value("Selected").integer(), 0);
    // Keys with quotes and letters beyond ASCII find their rows.
    Recordset found = read(serverConnect, "SELECT cokey FROM component WHERE mukey='O''Brien Ñ-1' ORDER BY cokey");
    ASSERT_EQ(found.recordCount(), 2);
    EXPECT_EQ(found.value("cokey").text(), "c1");
    EXPECT_EQ(read(serverConnect, "SELECT cokey FROM component WHERE mukey='plain3\\'").value("cokey").text(), "c4");
}

TEST_F(ServerTest, CatalogueAndKeysOfTheLoadedSchema)
{
    importToServer(fileConnect, serverConnect);
    Connection server;
    server.setConnectionString(serverConnect);
    server.open();
    const auto tables = server.tableNames();
    EXPECT_EQ(tables.size(), 4u);
    Connection sqlite;
    sqlite.setConnectionString(fileConnect);
    sqlite.open();
    const auto there = server.columns("MAPUNIT");
    const auto here = sqlite.columns("mapunit");
    ASSERT_EQ(there.size(), here.size());
    for (std::size_t i = 0; i < here.size(); ++i) {
        EXPECT_EQ(there[i].name, here[i].name);
        EXPECT_EQ(there[i].type, here[i].type) << here[i].name;
        EXPECT_EQ(there[i].definedSize, here[i].definedSize) << here[i].name;
    }
    EXPECT_TRUE(server.columns("nosuch").empty());
    Recordset keys = server.execute("SELECT count(*) AS n FROM pg_indexes WHERE schemaname='" + schema +
                                    "' AND indexdef LIKE '%UNIQUE%mapunit%(mukey)%'");
    EXPECT_EQ(keys.value("n").integer(), 1);
    Recordset indexed = server.execute("SELECT count(*) AS n FROM pg_indexes WHERE schemaname='" + schema +
                                       "' AND tablename='component'");
    EXPECT_EQ(indexed.value("n").integer(), 1);
}

// A batch of a run reads its rows restricted to some map units; whatever plan the server
// chooses (here a merge join that sorts the rows by key and so mixes those of one key), the
// rows come in SQLite's order, ties of an ORDER BY included.
TEST_F(ServerTest, RestrictedRowsComeInSqlitesOrderWhateverThePlan)
{
    runSql(file, R"(
        CREATE TABLE horizon (mukey VARCHAR(30), seq INTEGER, grade INTEGER);
        CREATE INDEX horizon_mukey ON horizon (mukey);
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
        INSERT INTO horizon SELECT CASE i % 3 WHEN 0 THEN 'O''Brien Ñ-1' WHEN 1 THEN 'Zürich"2' ELSE 'plain3\' END,
                                   (i * 37) % 300, i % 4 FROM n;
        INSERT INTO mdstatrshipdet VALUES ('mapunit', 'horizon', 'mukey', 'mukey');)");
    importToServer(fileConnect, serverConnect);
    const char* const options = std::getenv("PGOPTIONS");
    const std::string saved = options ? options : "";
    ::setenv("PGOPTIONS",
             "-c enable_nestloop=off -c enable_hashjoin=off -c enable_indexscan=off -c enable_bitmapscan=off", 1);
    const std::string restricted = "SELECT mukey,seq FROM horizon WHERE horizon.mukey IN (SELECT mapunit.mukey FROM "
                                   "mapunit WHERE mapunit.mukey IN ('Zürich\"2','O''Brien Ñ-1'))";
    for (const std::string& sql : {restricted, restricted + " ORDER BY grade DESC"}) {
        Recordset here = read(fileConnect, sql);
        Recordset there = read(serverConnect, sql);
        ASSERT_EQ(here.recordCount(), 200) << sql;
        ASSERT_EQ(there.recordCount(), 200) << sql;
        std::string hereRows, thereRows;
        for (; !here.eof(); here.moveNext(), there.moveNext()) {
            hereRows += here.value("mukey").text() + ":" + here.value("seq").text() + " ";
            thereRows += there.value("mukey").text() + ":" + there.value("seq").text() + " ";
        }
        EXPECT_EQ(hereRows, thereRows) << sql;
    }
    if (options)
        ::setenv("PGOPTIONS", saved.c_str(), 1);
    else
        ::unsetenv("PGOPTIONS");
}

TEST_F(ServerTest, DataSourcesNameServerSchemas)
{
    importToServer(fileConnect, serverConnect);
    ::setenv("QUILLON_REGISTRY_ROOT", (temp / "registry").c_str(), 1);
    auto store = registry::Store::fromEnvironment();
    const std::string key = "Software\\ODBC\\ODBC.INI\\Shared soils";
    store.setString(registry::Hive::LocalMachine, key, "Driver", "PostgreSQL Unicode");
    store.setString(registry::Hive::LocalMachine, key, "Database", std::getenv("PGDATABASE"));
    store.setString(registry::Hive::LocalMachine, key, "Schema", schema);
    EXPECT_EQ(read("DSN=Shared soils;", "SELECT * FROM mapunit").recordCount(), 3);
    store.setString(registry::Hive::LocalMachine, key, "PWD", "Zq9-stored-Xy");
    const std::string message = errorOf([&] { read("DSN=Shared soils;", "SELECT * FROM mapunit"); });
    EXPECT_NE(message.find("PGPASSWORD"), std::string::npos) << message;
    EXPECT_EQ(message.find("Zq9-stored-Xy"), std::string::npos) << message;
    ::unsetenv("QUILLON_REGISTRY_ROOT");
}

TEST_F(ServerTest, AFailedLoadLeavesTheSchemaAsItWas)
{
    importToServer(fileConnect, serverConnect);
    runSql(file, "INSERT INTO component VALUES ('plain3', 'c9', 'many')");
    std::string message = errorOf([&] { importToServer(fileConnect, serverConnect); });
    EXPECT_NE(message.find("Table component, column comppct_r holds 'many'"), std::string::npos) << message;
    EXPECT_EQ(read(serverConnect, "SELECT * FROM component").recordCount(), 4);

    runSql(file, "DELETE FROM component WHERE cokey='c9'; UPDATE mapunit SET note='a' || char(0) || 'b'");
    message = errorOf([&] { importToServer(fileConnect, serverConnect); });
    EXPECT_NE(message.find("Table mapunit, column note holds binary data"), std::string::npos) << message;
}

TEST_F(ServerTest, EditsOfFetchedRowsStayInTheRecordSet)
{
    // As for a query over several tables of a file: the viewer ticks rows of such lists.
    importToServer(fileConnect, serverConnect);
    Recordset rows = read(serverConnect, "SELECT * FROM mapunit");
    rows.setValue("musym", Variant(std::string("X")));
    rows.update();
    EXPECT_EQ(rows.value("musym").text(), "X");
    EXPECT_EQ(read(serverConnect, "SELECT musym FROM mapunit").value("musym").text(), "Ab");
}

TEST_F(ServerTest, BadConnectionDataGivesOneMessageNamingServerAndDatabase)
{
    importToServer(fileConnect, serverConnect);
    const std::string host = std::getenv("PGHOST");
    const std::string database = std::getenv("PGDATABASE");
    auto opening = [&](const std::string& connect) {
        return errorOf([&] { read(connect, "SELECT * FROM mapunit"); });
    };

    std::string message = opening("Driver={PostgreSQL};Server=" + temp.path().string() + ";Database=soils;");
    EXPECT_NE(message.find("PostgreSQL server " + temp.path().string()), std::string::npos) << message;
    EXPECT_NE(message.find("database soils"), std::string::npos) << message;

    const std::string password = std::getenv("PGPASSWORD");
    ::setenv("PGPASSWORD", "Zq9-wrong-Xy", 1);
    message = opening(serverConnect);
    ::setenv("PGPASSWORD", password.c_str(), 1);
    EXPECT_NE(message.find("PostgreSQL server " + host), std::string::npos) << message;
    EXPECT_NE(message.find("database " + database), std::string::npos) << message;
    EXPECT_NE(message.find("password authentication failed"), std::string::npos) << message;
    EXPECT_EQ(message.find("Zq9-wrong-Xy"), std::string::npos) << message;

    message = opening("Driver={PostgreSQL};Schema=nosuch;");
    EXPECT_NE(message.find("database " + database + " has no schema nosuch"), std::string::npos) << message;

    message = errorOf([&] { read(serverConnect, "SELECT * FROM chorizon"); });
    EXPECT_NE(message.find("PostgreSQL server " + host), std::string::npos) << message;
    EXPECT_NE(message.find("relation \"chorizon\" does not exist"), std::string::npos) << message;

    message = opening(serverConnect + "PWD=Zq9-given-Xy;");
    EXPECT_NE(message.find("PGPASSWORD"), std::string::npos) << message;
    EXPECT_EQ(message.find("Zq9-given-Xy"), std::string::npos) << message;
}

} // namespace
} // namespace qln::ado
