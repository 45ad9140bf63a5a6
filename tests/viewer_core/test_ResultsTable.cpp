#include "quillon/viewer/ResultsTable.h"

#include "../support/SqliteFile.h"
#include "../support/TempFolder.h"
#include "quillon/viewer/RunOptions.h"

#include <gtest/gtest.h>

#include <map>

namespace qln::viewer {
namespace {

class ResultsTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::runSql(file, "CREATE TABLE MU_Data (mukey VARCHAR(30), musym VARCHAR(6))");
        open();
    }
    void open()
    {
        db = ado::Connection();
        db.setConnectionString("DBQ=" + ado::quoteConnectionValue(file.string()) + ";");
        db.open();
    }

    // mukey -> the column's value, read back through a fresh connection.
    std::map<std::string, Variant> column(const std::string& name)
    {
        ado::Connection fresh;
        fresh.setConnectionString("DBQ=" + ado::quoteConnectionValue(file.string()) + ";");
        fresh.open();
        std::map<std::string, Variant> values;
        for (auto rows = fresh.execute("SELECT mukey, " + name + " FROM MU_Data"); !rows.eof(); rows.moveNext())
            values[rows.value(0).text()] = rows.value(1);
        return values;
    }

    static ado::Recordset mapunits(const std::vector<std::pair<Variant, std::string>>& rows)
    {
        ado::Recordset units;
        units.appendField("mukey", ado::adVarChar, 30, ado::adFldUpdatable);
        units.appendField("musym", ado::adVarChar, 6, ado::adFldUpdatable);
        units.open();
        for (const auto& [key, symbol] : rows) {
            units.addNew();
            units.setValue("mukey", key);
            units.setValue("musym", symbol);
            units.update();
        }
        return units;
    }

    // Results as the engine returns them: musym, mukey, the rating column.
    static ado::Recordset ratings(const std::string& name, const std::vector<std::pair<std::string, Variant>>& rows)
    {
        ado::Recordset rs;
        rs.appendField("musym", ado::adVarChar, 6, ado::adFldUpdatable);
        rs.appendField("mukey", ado::adVarChar, 30, ado::adFldUpdatable);
        rs.appendField(name, ado::adSingle, 0, ado::adFldUpdatable);
        rs.open();
        for (const auto& [key, value] : rows) {
            rs.addNew();
            rs.setValue("musym", "S" + key);
            rs.setValue("mukey", key);
            rs.setValue(2, value);
            rs.update();
        }
        return rs;
    }

    void fill()
    {
        auto units = mapunits({{"1", "A"}, {"2", "B"}, {"3", "C"}});
        AddMapUnitSymbols(db, kResultsTable, units);
    }

    test::TempFolder folder;
    std::filesystem::path file = folder / "results.sqlite";
    ado::Connection db;
};

TEST_F(ResultsTable, MapUnitsAreAddedInOrderWithoutNullKeys)
{
    auto units = mapunits({{"20", "B"}, {Variant::null(), "X"}, {"10", "A"}, {"", "E"}});
    EXPECT_EQ(AddMapUnitSymbols(db, kResultsTable, units), 1);
    std::vector<std::string> got;
    for (auto rows = db.execute("SELECT mukey, musym FROM MU_Data ORDER BY rowid"); !rows.eof(); rows.moveNext())
        got.push_back(rows.value(0).text() + "/" + rows.value(1).text());
    EXPECT_EQ(got, (std::vector<std::string>{"20/B", "10/A", "/E"}));
}

TEST_F(ResultsTable, RatingsGoToTheirMapUnitsFirstRowWinsUnratedStayNull)
{
    fill();
    const auto stored = AddToResultsDB(db, "Single",
                                       ratings("Rating", {{"3", 1.5}, {"1", 2.0}, {"3", 9.0}, {"99", 4.0}}),
                                       [] { return ADD_FAILURE(), true; });
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->recordCount(), 3);
    auto values = column("Rating");
    EXPECT_EQ(values.at("1").number(), 2.0);
    EXPECT_TRUE(values.at("2").isNull());
    EXPECT_EQ(values.at("3").number(), 1.5);  // the first row of map unit 3
    EXPECT_EQ(values.count("99"), 0u);        // not a map unit of the layer: no row added
}

TEST_F(ResultsTable, ReplacePromptNoKeepsTheColumnYesEmptiesItFirst)
{
    fill();
    ASSERT_TRUE(AddToResultsDB(db, "Single", ratings("Rating", {{"1", 1.0}, {"2", 2.0}}), [] { return true; }));

    int asked = 0;
    // A name differing only in case is the same column.
    EXPECT_FALSE(AddToResultsDB(db, "Single", ratings("RATING", {{"1", 7.0}}), [&] { return ++asked, false; }));
    EXPECT_EQ(asked, 1);
    auto values = column("Rating");
    EXPECT_EQ(values.at("1").number(), 1.0);
    EXPECT_EQ(values.at("2").number(), 2.0);

    ASSERT_TRUE(AddToResultsDB(db, "Single", ratings("Rating", {{"1", 7.0}}), [&] { return ++asked, true; }));
    EXPECT_EQ(asked, 2);
    values = column("Rating");
    EXPECT_EQ(values.at("1").number(), 7.0);
    EXPECT_TRUE(values.at("2").isNull());  // not rated this time: the old 2 is gone
}

TEST_F(ResultsTable, AbandonedStoreChangesNothingAndProgressCountsTheRows)
{
    fill();
    ASSERT_TRUE(AddToResultsDB(db, "Single", ratings("Rating", {{"1", 1.0}}), [] { return true; }));
    EXPECT_TRUE(HasColumn(db, kResultsTable, "RATING"));
    EXPECT_FALSE(HasColumn(db, kResultsTable, "Other"));

    // Abandoned halfway, at the last row, or just before the commit: no column, no value.
    for (const long stopAt : {1L, 2L, 3L}) {
        long last = -1;
        const auto stored = AddToResultsDB(db, "Single", ratings("Other", {{"1", 5.0}, {"2", 6.0}}),
                                           [] { return ADD_FAILURE(), true; },
                                           [&](long done, long total) {
                                               EXPECT_EQ(total, 3);
                                               last = done;
                                               return done < stopAt;
                                           });
        EXPECT_FALSE(stored);
        EXPECT_EQ(last, stopAt);
        EXPECT_FALSE(HasColumn(db, kResultsTable, "Other")) << stopAt;
    }
    // Replacing: the emptied old column comes back whole.
    EXPECT_FALSE(AddToResultsDB(db, "Single", ratings("Rating", {{"2", 9.0}}), [] { return true; },
                                [](long done, long) { return done < 2; }));
    EXPECT_EQ(column("Rating").at("1").number(), 1.0);

    std::vector<long> seen;
    ASSERT_TRUE(AddToResultsDB(db, "Single", ratings("Other", {{"2", 6.0}}), [] { return true; },
                               [&](long done, long) { return seen.push_back(done), true; }));
    EXPECT_EQ(seen, (std::vector<long>{0, 1, 2, 3}));
    EXPECT_EQ(column("Other").at("2").number(), 6.0);
}

TEST_F(ResultsTable, FailedStoreLeavesNoColumnBehind)
{
    fill();
    // Writing the values fails, as on a full disk: the new column goes with them.
    test::runSql(file, "CREATE TRIGGER refuse BEFORE UPDATE ON MU_Data BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    open();
    EXPECT_ANY_THROW(AddToResultsDB(db, "Single", ratings("Rating", {{"1", 1.0}}), [] { return true; }));
    int index = 0;
    FindRSColumn(db.execute("SELECT * FROM MU_Data"), "Rating", index);
    EXPECT_EQ(index, -1);
}

TEST_F(ResultsTable, TheColumnLimitAndBadTypesAreRefusedBeforeAnyChange)
{
    std::string columns;
    for (int i = 3; i <= kMaxResultColumns; ++i) columns += ", c" + std::to_string(i) + " Single";
    test::runSql(file, "DROP TABLE MU_Data; CREATE TABLE MU_Data (mukey VARCHAR(30), musym VARCHAR(6)" + columns + ")");
    open();
    EXPECT_THROW(AddColumn(db, kResultsTable, "Extra", "Single", [] { return true; }), TooManyColumns);
    // An existing column can still be replaced at the limit.
    EXPECT_EQ(AddColumn(db, kResultsTable, "C9", "Single", [] { return true; }), 1);

    test::runSql(file, "DROP TABLE MU_Data; CREATE TABLE MU_Data (mukey VARCHAR(30), musym VARCHAR(6))");
    open();
    EXPECT_THROW(AddColumn(db, kResultsTable, "Extra", "Single; DROP TABLE MU_Data", [] { return true; }), OptionError);
    EXPECT_EQ(AddColumn(db, kResultsTable, "Extra", "Text(30)", [] { return true; }), 1);
    int index = -1;
    EXPECT_EQ(FindRSColumn(db.execute("SELECT * FROM MU_Data"), "extra", index), 1);
    EXPECT_EQ(index, 2);
}

TEST(OutputColumn, NamesThatCannotBeARatingColumnAreRefused)
{
    for (const char* bad : {"", "ElevenChars", "1abc", "_abc", "ab cd", "a;b", "MUKEY", "musym", "Müll"})
        EXPECT_THROW(checkOutputColumn(bad), OptionError) << bad;
    for (const char* good : {"a", "TenCharsOk", "Rate_1", "x9"})
        EXPECT_NO_THROW(checkOutputColumn(good)) << good;
}

} // namespace
} // namespace qln::viewer
