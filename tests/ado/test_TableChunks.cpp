// Reading a table a bounded number of rows at a time: every row once, in stored order,
// whatever names the columns take and whether the table has row ids at all.

#include "SqliteFile.h"
#include "TableChunks.h"
#include "TempFolder.h"
#include "quillon/ado/Connection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qln::ado::detail {
namespace {

class TableChunksTest : public ::testing::Test {
protected:
    test::TempFolder temp;
    std::filesystem::path file = temp / "soils.sqlite";
    Connection source;

    void open(const std::string& sql)
    {
        test::runSql(file, sql);
        source.setConnectionString("DBQ=" + file.string() + ";");
        source.open();
    }

    // The first column of every row the chunks give, and the size of each chunk.
    std::vector<std::string> read(const std::string& table, const std::string& columns, std::size_t rowsPerChunk,
                                  std::vector<long>* sizes = nullptr)
    {
        std::vector<std::string> values;
        TableChunks chunks(source, table, columns, rowsPerChunk);
        for (Recordset rows; chunks.next(rows);) {
            if (sizes)
                sizes->push_back(rows.recordCount());
            for (; !rows.eof(); rows.moveNext())
                values.push_back(rows.value(0).text());
        }
        return values;
    }

    std::vector<std::string> plain(const std::string& sql)
    {
        std::vector<std::string> values;
        for (Recordset rows = source.execute(sql); !rows.eof(); rows.moveNext())
            values.push_back(rows.value(0).text());
        return values;
    }
};

TEST_F(TableChunksTest, EveryRowOnceInStoredOrderAcrossChunkBoundaries)
{
    open("CREATE TABLE t (k TEXT, n INTEGER);"
         "INSERT INTO t VALUES ('g',1),('c',2),('x',3),('a',4),('m',5),('b',6),('z',7),('d',8);"
         "DELETE FROM t WHERE k='x';");
    std::vector<long> sizes;
    EXPECT_EQ(read("t", "k,n", 3, &sizes), plain("SELECT k FROM t"));
    EXPECT_EQ(sizes, (std::vector<long>{3, 3, 1}));
    sizes.clear();
    EXPECT_EQ(read("t", "k", 7, &sizes).size(), 7u);
    EXPECT_EQ(sizes, (std::vector<long>{7})) << "a last chunk that fills exactly still ends the table";
    EXPECT_EQ(read("t", "k", 1), plain("SELECT k FROM t"));
}

TEST_F(TableChunksTest, ColumnsNamedLikeTheRowIdDoNotHideIt)
{
    // Duplicate values in a column called _rowid_ would skip rows if chunks followed it.
    open("CREATE TABLE t (_rowid_ INTEGER, ROWID TEXT, k TEXT);"
         "INSERT INTO t VALUES (5,'a','p'),(5,'a','q'),(5,'a','r'),(5,'a','s'),(1,'b','t');"
         "CREATE TABLE u (_rowid_ INTEGER, rowid INTEGER, oid INTEGER, k TEXT);"
         "INSERT INTO u VALUES (1,1,1,'p'),(1,1,1,'q'),(1,1,1,'r');");
    EXPECT_EQ(read("t", "k", 2), (std::vector<std::string>{"p", "q", "r", "s", "t"}));
    // With all three names taken the table comes in one piece.
    std::vector<long> sizes;
    EXPECT_EQ(read("u", "k", 2, &sizes), (std::vector<std::string>{"p", "q", "r"}));
    EXPECT_EQ(sizes, (std::vector<long>{3}));
}

TEST_F(TableChunksTest, ViewsAndTablesWithoutRowIdsComeWhole)
{
    open("CREATE TABLE t (k TEXT PRIMARY KEY, n INTEGER) WITHOUT ROWID;"
         "INSERT INTO t VALUES ('b',1),('a',2),('c',3);"
         "CREATE VIEW v AS SELECT k FROM t WHERE n > 1;"
         "CREATE TABLE empty (k TEXT);");
    std::vector<long> sizes;
    EXPECT_EQ(read("t", "k", 2, &sizes), plain("SELECT k FROM t"));
    EXPECT_EQ(sizes, (std::vector<long>{3}));
    EXPECT_EQ(read("v", "k", 1), plain("SELECT k FROM v"));
    EXPECT_TRUE(read("empty", "k", 2).empty());
}

} // namespace
} // namespace qln::ado::detail
