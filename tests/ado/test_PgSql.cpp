// The Access-style SQL as the server gets it, and server addresses as connection strings.

#include "PgSql.h"
#include "quillon/Error.h"
#include "quillon/ado/ServerAddress.h"

#include <gtest/gtest.h>

namespace qln::ado {
namespace {

using detail::translateAccessSql;

TEST(ServerSql, AccessSyntaxBecomesThatOfTheServer)
{
    EXPECT_EQ(translateAccessSql("SELECT areasymbol AS [Survey Area], a & 'x' FROM [SYSTEM - Mapunit Sort "
                                 "Specifications] sms WHERE name LIKE 'ab%' AND d > #5/1/2004 1:05 PM# AND e < #2004-12-31#"),
              "SELECT areasymbol AS \"Survey Area\", a || 'x' FROM \"SYSTEM - Mapunit Sort Specifications\" sms "
              "WHERE name ILIKE 'ab%' AND d > TIMESTAMP '2004-05-01 13:05:00' AND e < TIMESTAMP '2004-12-31 00:00:00' "
              "ORDER BY ctid");
    EXPECT_EQ(translateAccessSql("SELECT [a\"b] FROM t WHERE k IN ( )"), "SELECT \"a\"\"b\" FROM t WHERE k IN (NULL) ORDER BY ctid");
    EXPECT_EQ(translateAccessSql("SELECT FALSE AS Selected, CAST(a AS INTEGER) AS n FROM t"),
              "SELECT FALSE AS \"Selected\", CAST(a AS INTEGER) AS \"n\" FROM t ORDER BY ctid");
    EXPECT_EQ(translateAccessSql("SELECT a FROM t WHERE 0"), "SELECT a FROM t WHERE FALSE ORDER BY ctid");
    EXPECT_EQ(translateAccessSql("SELECT a FROM t WHERE (1) AND b=10 OR 2 ORDER BY a"),
              "SELECT a FROM t WHERE (TRUE) AND b=10 OR TRUE ORDER BY a NULLS FIRST, ctid");
    // A # that opens no date is the server's own operator.
    EXPECT_EQ(translateAccessSql("SELECT a # b FROM t"), "SELECT a # b FROM t ORDER BY ctid");
}

TEST(ServerSql, QuotedTextsPassUnchanged)
{
    const std::string sql = "SELECT 'it''s [x] & #1/1/2000# ORDER BY like', \"a\"\"[b] & c\" FROM x";
    EXPECT_EQ(translateAccessSql(sql), sql + " ORDER BY ctid");
}

TEST(ServerSql, OrderPutsNullsAndTiesWhereSqliteDoes)
{
    EXPECT_EQ(translateAccessSql("SELECT mukey,cokey,comppct_r FROM component WHERE component.comppct_r>=15 "
                                 "ORDER BY comppct_r DESC"),
              "SELECT mukey,cokey,comppct_r FROM component WHERE component.comppct_r>=15 "
              "ORDER BY comppct_r DESC NULLS LAST, ctid");
    EXPECT_EQ(translateAccessSql("SELECT a FROM t ORDER BY a, b ASC LIMIT 5"),
              "SELECT a FROM t ORDER BY a NULLS FIRST, b ASC NULLS FIRST, ctid LIMIT 5");
    // Searched by an IN list: met in key order, then the other table.
    EXPECT_EQ(translateAccessSql("SELECT musym,comppct_r FROM component,mapunit WHERE component.mukey=mapunit.mukey "
                                 "AND (mapunit.mukey IN ('1','2')) ORDER BY comppct_r DESC"),
              "SELECT musym,comppct_r FROM component,mapunit WHERE component.mukey=mapunit.mukey "
              "AND (mapunit.mukey IN ('1','2')) ORDER BY comppct_r DESC NULLS LAST, mapunit.mukey COLLATE \"C\", "
              "mapunit.ctid, component.ctid");
    // Searched by a constant: its rows first.
    EXPECT_EQ(translateAccessSql("SELECT cokey FROM component,mdstatdomdet WHERE mdstatdomdet.domainname='d' AND "
                                 "mdstatdomdet.choice=component.x ORDER BY comppct_r DESC"),
              "SELECT cokey FROM component,mdstatdomdet WHERE mdstatdomdet.domainname='d' AND "
              "mdstatdomdet.choice=component.x ORDER BY comppct_r DESC NULLS LAST, mdstatdomdet.ctid, component.ctid");
    // A subquery's searches name tables the outer query does not have.
    EXPECT_EQ(translateAccessSql("SELECT mukey,cokey FROM component WHERE component.mukey IN (SELECT mapunit.mukey "
                                 "FROM mapunit WHERE mapunit.mukey IN ('9') AND mapunit.lkey='1') ORDER BY comppct_r DESC"),
              "SELECT mukey,cokey FROM component WHERE component.mukey IN (SELECT mapunit.mukey "
              "FROM mapunit WHERE mapunit.mukey IN ('9') AND mapunit.lkey='1') ORDER BY comppct_r DESC NULLS LAST, "
              "component.mukey COLLATE \"C\", ctid");
    // DISTINCT rows cannot be ordered by a row's place; an inner ORDER BY keeps its own.
    EXPECT_EQ(translateAccessSql("SELECT DISTINCT monthseq,month FROM comonth ORDER BY monthseq"),
              "SELECT DISTINCT monthseq,month FROM comonth ORDER BY monthseq NULLS FIRST");
    EXPECT_EQ(translateAccessSql("SELECT * FROM (SELECT a FROM t ORDER BY a DESC) s"),
              "SELECT * FROM (SELECT a FROM t ORDER BY a DESC NULLS LAST) s");
}

// SQLite meets the rows of a scanned table in stored order, those of a table searched by an IN
// list by key, and puts a table searched by a constant first; the server is told to do the same.
TEST(ServerSql, RowsWithoutAnOrderComeAsSqliteMeetsThem)
{
    EXPECT_EQ(translateAccessSql("SELECT cokey,chkey FROM chorizon WHERE chorizon.cokey IN (SELECT component.cokey "
                                 "FROM component WHERE component.mukey IN ('1','2'))"),
              "SELECT cokey,chkey FROM chorizon WHERE chorizon.cokey IN (SELECT component.cokey "
              "FROM component WHERE component.mukey IN ('1','2')) ORDER BY chorizon.cokey COLLATE \"C\", ctid");
    EXPECT_EQ(translateAccessSql("SELECT lkey,mukey FROM mapunit WHERE mapunit.mukey IN ('9','10') LIMIT 3;"),
              "SELECT lkey,mukey FROM mapunit WHERE mapunit.mukey IN ('9','10') ORDER BY mapunit.mukey COLLATE \"C\", "
              "ctid LIMIT 3;");
    // A domain searched by a constant is met before the rows searched by their keys.
    EXPECT_EQ(translateAccessSql("SELECT cokey,choicesequence FROM comonth,mdstatdomdet WHERE "
                                 "(mdstatdomdet.domainname='f' AND mdstatdomdet.choice=comonth.fl) AND comonth.cokey IN "
                                 "(SELECT component.cokey FROM component WHERE 0=1)"),
              "SELECT cokey,choicesequence FROM comonth,mdstatdomdet WHERE "
              "(mdstatdomdet.domainname='f' AND mdstatdomdet.choice=comonth.fl) AND comonth.cokey IN "
              "(SELECT component.cokey FROM component WHERE 0=1) ORDER BY mdstatdomdet.ctid, comonth.cokey COLLATE "
              "\"C\", comonth.ctid");
    EXPECT_EQ(translateAccessSql("SELECT comppct_r FROM component,mdstatdomdet WHERE mdstatdomdet.domainname='d' "
                                 "AND mdstatdomdet.choice=component.x AND component.mukey IN ('1') ORDER BY comppct_r DESC"),
              "SELECT comppct_r FROM component,mdstatdomdet WHERE mdstatdomdet.domainname='d' "
              "AND mdstatdomdet.choice=component.x AND component.mukey IN ('1') ORDER BY comppct_r DESC NULLS LAST, "
              "mdstatdomdet.ctid, component.mukey COLLATE \"C\", component.ctid");
    // Tables named by an alias are ordered by it.
    EXPECT_EQ(translateAccessSql("SELECT m.musym FROM mapunit m, muaggatt AS a WHERE m.mukey=a.mukey"),
              "SELECT m.musym FROM mapunit m, muaggatt AS \"a\" WHERE m.mukey=a.mukey ORDER BY m.ctid, a.ctid");
    // Rows folded into one, distinct or grouped rows have no place to keep; other statements
    // are left alone, and so is a second statement.
    for (const char* sql : {"SELECT count(*) FROM t", "SELECT count(*) = count(DISTINCT k) FROM t",
                            "SELECT Max (a) FROM t WHERE b='1'", "SELECT DISTINCT a FROM t", "SELECT a FROM t GROUP BY a",
                            "SELECT a FROM t UNION SELECT a FROM u", "SELECT 1", "DELETE FROM t WHERE a IN (SELECT b FROM u)",
                            "SELECT a FROM t JOIN u ON t.k=u.k"})
        EXPECT_EQ(translateAccessSql(sql), sql);
    EXPECT_EQ(translateAccessSql("SELECT a FROM t; SELECT b FROM u"), "SELECT a FROM t ORDER BY ctid; SELECT b FROM u");
    EXPECT_EQ(translateAccessSql("SELECT count(*) FROM t ORDER BY 1"), "SELECT count(*) FROM t ORDER BY 1 NULLS FIRST");
}

TEST(ServerAddress, BecomesAConnectionString)
{
    EXPECT_TRUE(isServerAddress("postgres://h/db"));
    EXPECT_FALSE(isServerAddress("/data/postgresql://x.sqlite"));
    EXPECT_EQ(serverConnectString("postgresql://me@db.example:5433/soils?schema=ia"),
              "Driver={PostgreSQL};Server={db.example};Port={5433};Database={soils};Uid={me};Schema={ia};");
    EXPECT_EQ(serverConnectString("postgresql:///s%C3%B6ils?host=/tmp/so%20ck"),
              "Driver={PostgreSQL};Server={/tmp/so ck};Database={söils};");
    EXPECT_EQ(serverConnectString("postgresql://[::1]:5432/x"), "Driver={PostgreSQL};Server={::1};Port={5432};Database={x};");
}

TEST(ServerAddress, RefusesPasswordsWithoutRepeatingThem)
{
    for (const char* address : {"postgresql://me:s3cr3t@h/x", "postgresql://h/x?password=s3cr3t"}) {
        try {
            serverConnectString(address);
            ADD_FAILURE() << address << " was accepted";
        } catch (const EngineError& error) {
            EXPECT_NE(error.description().find("PGPASSWORD"), std::string::npos) << error.description();
            EXPECT_EQ(error.description().find("s3cr3t"), std::string::npos) << error.description();
        }
    }
    EXPECT_THROW(serverConnectString("postgresql://h:port/x"), EngineError);
    EXPECT_THROW(serverConnectString("postgresql://h/x?sslmode=require"), EngineError);
}

} // namespace
} // namespace qln::ado
