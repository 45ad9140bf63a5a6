#include "quillon/Error.h"
#include "quillon/landsort/LandUnitSort.h"

#include <gtest/gtest.h>

using qln::Variant;
using qln::ado::Recordset;
using namespace qln::landsort;

namespace {

// Rows of (musym, area, note); note tells the rows apart.
Recordset makeUnits(const std::vector<std::tuple<Variant, Variant, const char*>>& rows)
{
    Recordset rs;
    rs.appendField("musym", qln::ado::adVarChar, 12);
    rs.appendField("area", qln::ado::adVariant);
    rs.appendField("note", qln::ado::adVarChar, 20);
    rs.open();
    for (const auto& [symbol, area, note] : rows) {
        rs.addNew();
        rs.setValue("musym", symbol);
        rs.setValue("area", area);
        rs.setValue("note", note);
        rs.update();
    }
    rs.moveFirst();
    return rs;
}

std::vector<std::string> column(Recordset rs, const char* name)
{
    std::vector<std::string> values;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        values.push_back(rs.value(name).text());
    return values;
}

using Texts = std::vector<std::string>;

} // namespace

TEST(adoLandUnitSort, ReturnsANewRecordSetAndLeavesTheSourceAlone)
{
    Recordset rs = makeUnits({{"10", 1, "a"}, {"9", 2, "b"}, {"1A", 3, "c"}, {"1", 4, "d"}});
    rs.setAbsolutePosition(3);
    clsLandUnitSort sorter;
    const Recordset sorted = sorter.adoLandUnitSort(rs, "musym");
    ASSERT_TRUE(sorted.isOpen());
    EXPECT_EQ(column(sorted, "musym"), (Texts{"1", "1A", "9", "10"}));
    EXPECT_EQ(column(sorted, "note"), (Texts{"d", "c", "b", "a"}));
    EXPECT_EQ(sorted.field(0).definedSize, 12);
    EXPECT_EQ(sorted.field(2).type, qln::ado::adVarChar);
    EXPECT_EQ(rs.absolutePosition(), 3);
    EXPECT_EQ(column(rs, "musym"), (Texts{"10", "9", "1A", "1"}));
}

TEST(adoLandUnitSort, KeepsEveryRowOnceWhenKeysRepeatOrAreNull)
{
    Recordset rs = makeUnits({{"5", 1, "a"}, {Variant::null(), 2, "b"}, {"5", 3, "c"}, {"2", 4, "d"}});
    clsLandUnitSort sorter;
    const Recordset sorted = sorter.adoLandUnitSort(rs, "musym");
    EXPECT_EQ(column(sorted, "note"), (Texts{"b", "d", "a", "c"}));
}

TEST(adoLandUnitSort, ComparesThreePiecesThenTheSecondColumn)
{
    // 1A2B and 1A2A agree in three pieces: their order comes from the second column only.
    Recordset rs = makeUnits({{"1A2B", "7", "a"}, {"1A2A", "7", "b"}, {"1A2C", "10", "c"}, {"2", "1", "d"}});
    clsLandUnitSort sorter;
    EXPECT_EQ(column(sorter.adoLandUnitSort(rs, "musym"), "note"), (Texts{"a", "b", "c", "d"}));
    EXPECT_EQ(column(sorter.adoLandUnitSort(rs, "musym", "area"), "note"), (Texts{"a", "b", "c", "d"}));
    Recordset byArea = makeUnits({{"1A2B", "10", "a"}, {"1A2A", "9", "b"}});
    EXPECT_EQ(column(sorter.adoLandUnitSort(byArea, "musym", "area"), "note"), (Texts{"b", "a"}));
}

TEST(adoLandUnitSort, ShowsAFailureAndGivesAClosedRecordSet)
{
    Recordset rs = makeUnits({{"1", 1, "a"}});
    clsLandUnitSort sorter;
    std::vector<std::pair<std::string, std::string>> shown;
    sorter.setMessageHandler([&](const std::string& title, const std::string& text) { shown.emplace_back(title, text); });
    EXPECT_FALSE(sorter.adoLandUnitSort(rs, "symbol").isOpen());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, "Error Message");
    EXPECT_EQ(shown[0].second, "adoLandUnitSort: Column symbol is not in the record set.");
}

TEST(BubbleSort, SortsInPlaceUnderTheSortTypeAndKeepsEqualRowsInOrder)
{
    clsLandUnitSort sorter;
    EXPECT_EQ(sorter.SortType(), snonRegular);
    Recordset rs = makeUnits({{"10B", 1, "a"}, {"2", 2, "b"}, {"10b", 3, "c"}, {"2", 1, "d"}, {"10B", 0, "e"}});
    EXPECT_GT(sorter.BubbleSort(rs, "musym"), 0);
    EXPECT_EQ(column(rs, "note"), (Texts{"b", "d", "a", "c", "e"}));
    EXPECT_EQ(rs.absolutePosition(), 1);

    // Numbers as numbers, Null first; rows equal in area are ordered by musym.
    sorter.setSortType(sRegular);
    Recordset numbers = makeUnits({{"b", 10, "a"}, {"a", 9, "b"}, {"c", Variant::null(), "c"}, {"a", 10, "d"}});
    sorter.BubbleSort(numbers, "area", "musym");
    EXPECT_EQ(column(numbers, "note"), (Texts{"c", "b", "d", "a"}));
    EXPECT_EQ(sorter.BubbleSort(numbers, "area", "musym"), 0);
    EXPECT_THROW(sorter.setSortType(static_cast<SortTypes>(7)), qln::EngineError);
}

TEST(BubbleSort, ReportsProgressPassByPass)
{
    clsLandUnitSort sorter;
    std::vector<std::pair<long, long>> calls;
    sorter.setProgressHandler([&](long done, long total) { calls.emplace_back(done, total); });
    Recordset rs = makeUnits({{"4", 1, "a"}, {"3", 1, "b"}, {"2", 1, "c"}, {"1", 1, "d"}});
    sorter.BubbleSort(rs, "musym");
    ASSERT_EQ(calls.size(), 4u);  // three passes that exchange, one that finds the order
    EXPECT_EQ(calls.front(), std::make_pair(1L, 4L));
    EXPECT_EQ(calls.back(), std::make_pair(4L, 4L));
}

TEST(MultipleColumns, SortsByEachEntryInTurn)
{
    clsLandUnitSort sorter;
    Recordset rs = makeUnits({{"10", "b", "a"}, {"9", "b", "b"}, {"10", "a", "c"}, {"1A", "a", "d"}});
    EXPECT_EQ(sorter.MultipleColumnsCompare(rs, 1, "area,R|musym,N"), 1);
    EXPECT_EQ(sorter.MultipleColumnsCompare(rs, 2, "musym,N"), -1);
    EXPECT_EQ(sorter.MultipleColumnsCompare(rs, 1, "note,R|musym,N"), -1);
    EXPECT_TRUE(sorter.SortMultipleColumns(rs, "area,R|musym,N"));
    EXPECT_EQ(column(rs, "note"), (Texts{"d", "c", "b", "a"}));
    sorter.MultipleColumnBubbleSort(rs, "musym,N|area,R");
    EXPECT_EQ(column(rs, "note"), (Texts{"d", "b", "c", "a"}));
}

TEST(MultipleColumns, RefusesALetterOtherThanNOrRAndChangesNothing)
{
    clsLandUnitSort sorter;
    Recordset rs = makeUnits({{"10", "b", "a"}, {"9", "b", "b"}});
    try {
        sorter.SortMultipleColumns(rs, "musym,N|area,S");
        FAIL() << "a sort by the letter S was accepted";
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), eSecondParameterInvalid);
        EXPECT_EQ(error.description(), "2nd Parameter for column 2 MUST be N or R.");
        EXPECT_EQ(error.source(),
                  "MultipleColumnsCompare/MultipleColumnBubbleSort(Line 1)/SortMultipleColumns(Line 1)");
    }
    EXPECT_EQ(column(rs, "note"), (Texts{"a", "b"}));
}

TEST(MultipleColumns, NamesBadEntriesColumnsAndRows)
{
    clsLandUnitSort sorter;
    Recordset rs = makeUnits({{"10", "b", "a"}, {"9", "b", "b"}});
    const auto numberOf = [&](auto operation) -> std::int64_t {
        try {
            operation();
        } catch (const qln::EngineError& error) {
            return error.number();
        }
        return 0;
    };
    EXPECT_EQ(numberOf([&] { sorter.MultipleColumnBubbleSort(rs, "musym"); }), eWrongNumberColumnParameters);
    EXPECT_EQ(numberOf([&] { sorter.MultipleColumnBubbleSort(rs, ""); }), eWrongNumberColumnParameters);
    EXPECT_EQ(numberOf([&] { sorter.MultipleColumnBubbleSort(rs, " ,N"); }), eColumnInvalid);
    EXPECT_EQ(numberOf([&] { sorter.MultipleColumnBubbleSort(rs, "symbol,N"); }), eColumnNotFoundInRecordset);
    EXPECT_EQ(numberOf([&] { sorter.MultipleColumnsCompare(rs, 2, "musym,N"); }), 0x800A0005);
    EXPECT_EQ(numberOf([&] { sorter.BubbleSort(rs, "symbol"); }), eColumnNotFoundInRecordset);
}

TEST(BubbleSort, SortsOnlyTheRowsTheFilterShows)
{
    clsLandUnitSort sorter;
    Recordset rs = makeUnits({{"9", "x", "a"}, {"3", "y", "b"}, {"5", "x", "c"}, {"1", "x", "d"}});
    rs.setFilter("area='x'");
    sorter.BubbleSort(rs, "musym");
    rs.setFilter("");
    EXPECT_EQ(column(rs, "musym"), (Texts{"1", "3", "5", "9"}));
    EXPECT_EQ(column(rs, "note"), (Texts{"d", "b", "c", "a"}));
}
