#include "quillon/Error.h"
#include "quillon/ado/Recordset.h"

#include <gtest/gtest.h>

using qln::Variant;
using qln::ado::Recordset;

namespace {

// mukey, musym, pct: five rows, one Null percent.
Recordset makeMapunits()
{
    Recordset rs;
    rs.appendField("mukey", qln::ado::adVarChar, 30);
    rs.appendField("musym", qln::ado::adVarChar, 10);
    rs.appendField("pct", qln::ado::adInteger);
    rs.open();
    const std::vector<std::tuple<const char*, const char*, Variant>> rows = {
        {"100", "AbB", 40}, {"200", "CeC", Variant::null()}, {"300", "AbB", 70}, {"400", "Wa", 0}, {"500", "O'k", 15}};
    for (const auto& [key, symbol, pct] : rows) {
        rs.addNew();
        rs.setValue("mukey", key);
        rs.setValue("musym", symbol);
        rs.setValue("pct", pct);
        rs.update();
    }
    rs.moveFirst();
    return rs;
}

std::vector<std::string> keysOf(Recordset rs)
{
    std::vector<std::string> keys;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        keys.push_back(rs.value("mukey").text());
    return keys;
}

} // namespace

TEST(Recordset, EmptyRecordSetIsAtBothEnds)
{
    Recordset rs;
    rs.appendField("a", qln::ado::adInteger);
    rs.open();
    EXPECT_TRUE(rs.bof());
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(rs.recordCount(), 0);
    EXPECT_THROW(rs.value("a"), qln::EngineError);
}

TEST(Recordset, NavigationAndPositions)
{
    Recordset rs = makeMapunits();
    EXPECT_EQ(rs.recordCount(), 5);
    EXPECT_EQ(rs.absolutePosition(), 1);
    rs.moveLast();
    EXPECT_EQ(rs.value("mukey").str(), "500");
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(rs.absolutePosition(), -3);
    EXPECT_THROW(rs.moveNext(), qln::EngineError);
    rs.moveFirst();
    rs.movePrevious();
    EXPECT_TRUE(rs.bof());
    EXPECT_EQ(rs.absolutePosition(), -2);
    rs.setAbsolutePosition(3);
    EXPECT_EQ(rs.value(0).str(), "300");
}

TEST(Recordset, FieldsByNameInAnyCaseAndByIndex)
{
    Recordset rs = makeMapunits();
    EXPECT_EQ(rs.fieldIndex("MUSYM"), 1);
    EXPECT_EQ(rs.fieldIndex("nope"), -1);
    EXPECT_EQ(rs.field(2).type, qln::ado::adInteger);
    EXPECT_EQ(rs.field(0).definedSize, 30);
    try {
        (void)rs.value("nope");
        FAIL();
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), qln::ado::adErrItemNotFound);
        EXPECT_NE(error.description().find("nope"), std::string::npos);
    }
    EXPECT_THROW(rs.appendField("x", qln::ado::adInteger), qln::EngineError);
}

TEST(Recordset, NullStaysDistinctFromZeroAndEmptyText)
{
    Recordset rs = makeMapunits();
    rs.setAbsolutePosition(2);
    EXPECT_TRUE(rs.value("pct").isNull());
    rs.setAbsolutePosition(4);
    EXPECT_EQ(rs.value("pct").kind(), Variant::Kind::Integer);
    rs.setFilter("pct = Null");
    EXPECT_EQ(keysOf(rs), std::vector<std::string>{"200"});
    rs.setFilter("pct = 0");
    EXPECT_EQ(keysOf(rs), std::vector<std::string>{"400"});
}

TEST(Recordset, ClonesShareRowsButNotCursors)
{
    Recordset rs = makeMapunits();
    Recordset clone = rs.clone();
    clone.moveLast();
    EXPECT_EQ(rs.value("mukey").str(), "100");
    clone.setValue("musym", "Changed");
    rs.moveLast();
    EXPECT_EQ(rs.value("musym").str(), "Changed");
    clone.setFilter("musym='AbB'");
    EXPECT_EQ(rs.recordCount(), 5);
    EXPECT_EQ(clone.recordCount(), 2);
}

TEST(Recordset, CloneKeepsFilterAndPositionOnlyWhenAsked)
{
    Recordset rs = makeMapunits();
    rs.setFilter("musym='AbB'");
    rs.moveNext();
    const Recordset plain = rs.clone();
    EXPECT_EQ(plain.recordCount(), 5);
    EXPECT_EQ(plain.absolutePosition(), 1);
    EXPECT_EQ(plain.filter(), "");
    const Recordset kept = rs.clone(true);
    EXPECT_EQ(kept.recordCount(), 2);
    EXPECT_EQ(kept.absolutePosition(), 2);
    EXPECT_EQ(kept.value("mukey").str(), "300");
}

TEST(Recordset, EqualityFilterFollowsLaterEdits)
{
    Recordset rs = makeMapunits();
    rs.setFilter("mukey='300'");  // builds the index of mukey
    ASSERT_EQ(rs.recordCount(), 1);
    rs.setValue("mukey", "301");
    rs.setFilter("mukey='300'");
    EXPECT_EQ(rs.recordCount(), 0);
    rs.setFilter("mukey='301'");
    EXPECT_EQ(rs.recordCount(), 1);
    rs.setFilter("");
    rs.addNew();
    rs.setValue("mukey", "300");
    rs.setFilter("mukey='300'");
    EXPECT_EQ(rs.recordCount(), 1);
    rs.setFilter("MUKEY = 301");  // numeric against numeric text
    EXPECT_EQ(rs.recordCount(), 1);
}

TEST(Recordset, BadFilterKeepsThePreviousOneAndQuotesTheText)
{
    Recordset rs = makeMapunits();
    rs.setFilter("musym='AbB'");
    try {
        rs.setFilter("musym=='x'");
        FAIL();
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), qln::ado::adErrInvalidArgument);
        EXPECT_NE(error.description().find("musym=='x'"), std::string::npos);
    }
    EXPECT_EQ(rs.filter(), "musym='AbB'");
    EXPECT_EQ(rs.recordCount(), 2);
}

TEST(Recordset, SortIsStableAndCombinesWithFilter)
{
    Recordset rs = makeMapunits();
    rs.setSort("musym DESC");
    EXPECT_EQ(keysOf(rs), (std::vector<std::string>{"400", "500", "200", "100", "300"}));
    rs.setFilter("pct <> Null");
    EXPECT_EQ(keysOf(rs), (std::vector<std::string>{"400", "500", "100", "300"}));
    rs.setSort("");
    EXPECT_EQ(keysOf(rs), (std::vector<std::string>{"100", "300", "400", "500"}));
}

TEST(Recordset, FindSearchesForwardFromTheCurrentRow)
{
    Recordset rs = makeMapunits();
    ASSERT_TRUE(rs.find("musym='AbB'"));
    EXPECT_EQ(rs.value("mukey").str(), "100");
    ASSERT_TRUE(rs.find("musym='AbB'", 1));
    EXPECT_EQ(rs.value("mukey").str(), "300");
    EXPECT_FALSE(rs.find("musym='AbB'", 1));
    EXPECT_TRUE(rs.eof());
    rs.moveFirst();
    EXPECT_TRUE(rs.find("musym='O''k'"));
}

TEST(Recordset, AMovedFromRecordSetIsAClosedEmptyOne)
{
    Recordset source = makeMapunits();
    Recordset taken = std::move(source);
    EXPECT_EQ(taken.recordCount(), 5);
    // NOLINTBEGIN(bugprone-use-after-move): the safe empty state is what is tested.
    EXPECT_FALSE(source.isOpen());
    EXPECT_EQ(source.recordCount(), -1);
    EXPECT_EQ(source.fieldCount(), 0);
    EXPECT_EQ(source.fieldIndex("mukey"), -1);
    EXPECT_TRUE(source.bof());
    EXPECT_TRUE(source.eof());
    EXPECT_TRUE(source.filter().empty());
    EXPECT_THROW(source.moveFirst(), qln::EngineError);
    EXPECT_THROW(source.value("mukey"), qln::EngineError);
    EXPECT_THROW(source.clone(), qln::EngineError);
    EXPECT_THROW(source.setFilter("mukey='100'"), qln::EngineError);
    Recordset copy = source;  // copies of it are closed and empty too
    EXPECT_FALSE(copy.isOpen());
    // A copy built up does not change what moved-from record sets read.
    Recordset assignedCopy = makeMapunits();
    assignedCopy = source;
    copy.appendField("extra", qln::ado::adInteger);
    assignedCopy.appendField("other", qln::ado::adInteger);
    EXPECT_EQ(copy.fieldCount(), 1);
    EXPECT_EQ(assignedCopy.fieldCount(), 1);
    EXPECT_EQ(source.fieldCount(), 0);
    EXPECT_EQ(Recordset(std::move(copy)).fieldCount(), 1);
    EXPECT_EQ(copy.fieldIndex("extra"), -1);

    Recordset assigned;
    assigned = std::move(taken);
    EXPECT_FALSE(taken.isOpen());
    EXPECT_EQ(taken.fieldCount(), 0);

    // It can be built up again like a new one.
    source.appendField("k", qln::ado::adInteger);
    source.open();
    source.addNew();
    source.setValue("k", 1);
    EXPECT_EQ(source.recordCount(), 1);
    // NOLINTEND(bugprone-use-after-move)
    EXPECT_EQ(assigned.recordCount(), 5);
}
