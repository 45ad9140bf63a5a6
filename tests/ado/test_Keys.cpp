#include "../support/SqliteFile.h"
#include "../support/TempFolder.h"
#include "quillon/ado/Connection.h"

#include <gtest/gtest.h>

using qln::ado::Connection;
using qln::ado::Recordset;

namespace {

// Map units keyed by text, their components by an integer key: the same key in two forms.
struct KeyForms : ::testing::Test {
    qln::test::TempFolder temp;
    std::filesystem::path file = temp / "soils.sqlite";
    Connection cn;

    void SetUp() override
    {
        qln::test::runSql(file, "CREATE TABLE mapunit (mukey VARCHAR(30), musym VARCHAR(6));"
                                "CREATE TABLE component (mukey INTEGER, cokey VARCHAR(30), comppct_r SMALLINT);"
                                "INSERT INTO mapunit VALUES ('10','Aa'),('010','Bb'),('AbC','Cc'),('11','Dd');"
                                "CREATE TABLE named (mukey VARCHAR(30), cokey VARCHAR(30));"
                                "INSERT INTO component VALUES (10,'c1',60),(10,'c2',40),(11,'c3',100);"
                                "INSERT INTO named VALUES ('abc','n1'),('ABC','n2'),('x','n3');");
        cn.setConnectionString("DBQ=" + file.string() + ";Provider=MSDataShape;");
        cn.open();
    }

    // cokeys of each map unit's chapter, "|" between map units.
    std::string related(const std::string& childTable)
    {
        Recordset units = cn.execute("SHAPE {SELECT mukey, musym FROM mapunit} AS cmdmapunit APPEND ({SELECT mukey, "
                                     "cokey FROM " + childTable + "} AS cmdchild RELATE 'mukey' TO 'mukey') AS cmdchild");
        std::string text;
        for (; !units.eof(); units.moveNext()) {
            text += units.value("musym").str() + ":";
            for (Recordset child = units.chapter("cmdchild"); !child.eof(); child.moveNext())
                text += child.value("cokey").str() + ",";
            text += "|";
        }
        return text;
    }

    // cokeys a filter on the child table finds for the key text.
    std::string filtered(const std::string& childTable, const std::string& key)
    {
        Recordset rows = cn.execute("SELECT mukey, cokey FROM " + childTable);
        rows.setFilter("mukey='" + key + "'");
        std::string text;
        for (; !rows.eof(); rows.moveNext())
            text += rows.value("cokey").str() + ",";
        return text;
    }
};

} // namespace

TEST_F(KeyForms, ATextKeyRelatesToANumberAsAFilterComparesThem)
{
    // '10' and '010' both equal the number 10 in a filter, so both relate to it.
    EXPECT_EQ(filtered("component", "10"), "c1,c2,");
    EXPECT_EQ(filtered("component", "010"), "c1,c2,");
    EXPECT_EQ(related("component"), "Aa:c1,c2,|Bb:c1,c2,|Cc:|Dd:c3,|");
}

TEST_F(KeyForms, TextKeysRelateWithoutRegardToCaseAsFiltersDo)
{
    EXPECT_EQ(filtered("named", "AbC"), "n1,n2,");
    EXPECT_EQ(related("named"), "Aa:|Bb:|Cc:n1,n2,|Dd:|");
}
