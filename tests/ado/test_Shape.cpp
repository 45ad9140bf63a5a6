#include "Shape.h"

#include "quillon/Error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using qln::ado::detail::isShapeCommand;
using qln::ado::detail::parseShapeCommand;
using qln::ado::detail::ShapeCommand;

namespace {

const std::string kLegendSql =
    "SELECT legend.lkey,legend.areasymbol,legend.areaname,"
    "distlegendmd.ssastatus,distlegendmd.cordate,distgendate"
    " FROM legend,distlegendmd,distmd"
    " WHERE distlegendmd.lkey=legend.lkey   AND distlegendmd.distmdkey=distmd.distmdkey";

// One table below legend, as the engine's walk up the relationship metadata meets it.
struct Level {
    std::string table;
    std::string sql;
    std::string key;  // the join column, named alike in parent and child
};

// Concatenates the levels (top first) exactly as the engine's SHAPE builder does.
std::string engineCommand(const std::vector<Level>& levels)
{
    std::string command;
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        const std::string cmd = "cmd" + it->table;
        const std::string relate = " RELATE '" + it->key + "' TO '" + it->key + "') AS " + cmd;
        if (command.empty())
            command = "({" + it->sql + "} AS " + cmd + relate;
        else
            command = "((SHAPE {" + it->sql + "} AS " + cmd + " APPEND " + command + ") AS " + cmd + relate;
    }
    return "SHAPE {" + kLegendSql + "} AS cmdlegend APPEND " + command;
}

const Level kMapunit{"mapunit", "SELECT lkey,mukey,musym,muname FROM mapunit WHERE mapunit.mukey IN ('1','2')", "lkey"};
const Level kComponent{"component", "SELECT mukey,cokey,comppct_r FROM component ORDER BY comppct_r DESC", "mukey"};
const Level kChorizon{"chorizon",
                      "SELECT cokey,hzdept_r,hzdepb_r,claytotal_r FROM chorizon WHERE (hzdepb_r>=0 AND hzdept_r<=50)",
                      "cokey"};
const Level kComonth{"comonth",
                     "SELECT cokey,comonthkey,month,monthseq FROM comonth WHERE (monthseq>=11 OR monthseq<=2)",
                     "cokey"};
const Level kCosoilmoist{"cosoilmoist",
                         "SELECT comonthkey,soimoiststat FROM cosoilmoist,mdstatdomdet WHERE "
                         "mdstatdomdet.domainname='x' AND mdstatdomdet.choice=cosoilmoist.soimoiststat",
                         "comonthkey"};

class EngineShapes : public testing::TestWithParam<std::vector<Level>> {};

TEST_P(EngineShapes, ParsesEveryLevelVerbatim)
{
    const ShapeCommand top = parseShapeCommand(engineCommand(GetParam()));
    EXPECT_EQ(top.sql, kLegendSql);
    EXPECT_EQ(top.alias, "cmdlegend");
    const ShapeCommand* parent = &top;
    for (const Level& level : GetParam()) {
        ASSERT_EQ(parent->children.size(), 1u) << level.table;
        const ShapeCommand::Child& child = parent->children.front();
        EXPECT_EQ(child.alias, "cmd" + level.table);
        EXPECT_EQ(child.command.sql, level.sql);
        ASSERT_EQ(child.relations.size(), 1u);
        EXPECT_EQ(child.relations[0].parentColumn, level.key);
        EXPECT_EQ(child.relations[0].childColumn, level.key);
        parent = &child.command;
    }
    EXPECT_TRUE(parent->children.empty());
}

INSTANTIATE_TEST_SUITE_P(Shape, EngineShapes,
                         testing::Values(std::vector<Level>{kMapunit},
                                         std::vector<Level>{kMapunit, kComponent, kChorizon},
                                         std::vector<Level>{kMapunit, kComponent, kComonth, kCosoilmoist}));

TEST(Shape, HandWrittenFormsInAnyCaseAndSpacing)
{
    const ShapeCommand c = parseShapeCommand(
        "  shape\n{select * from orders}\tappend ({select * from lines} relate 'it''s' TO [a]]b], region To rg)"
        " As Lines,\r\n({SELECT 1} RELATE x TO y) [two words],({SELECT 2}RELATE x TO y)'quoted'  ");
    EXPECT_EQ(c.sql, "select * from orders");
    EXPECT_EQ(c.alias, "");
    ASSERT_EQ(c.children.size(), 3u);
    ASSERT_EQ(c.children[0].relations.size(), 2u);
    EXPECT_EQ(c.children[0].relations[0].parentColumn, "it's");
    EXPECT_EQ(c.children[0].relations[0].childColumn, "a]b");
    EXPECT_EQ(c.children[0].relations[1].parentColumn, "region");
    EXPECT_EQ(c.children[0].relations[1].childColumn, "rg");
    EXPECT_EQ(c.children[0].alias, "Lines");
    EXPECT_EQ(c.children[1].alias, "two words");
    EXPECT_EQ(c.children[2].alias, "quoted");
}

TEST(Shape, ChapterNamesFallBackToInnerAliasThenNumbers)
{
    const ShapeCommand c = parseShapeCommand(
        "SHAPE {p} APPEND ({a} AS inner RELATE k TO k) AS outer, ({b} own RELATE k TO k), ({c} RELATE k TO k),"
        " ({d} RELATE k TO k) AS Chapter1, ((SHAPE {e} AS first APPEND ({f} RELATE k TO k)) AS second RELATE k TO k)");
    std::vector<std::string> names;
    for (const auto& child : c.children)
        names.push_back(child.alias);
    EXPECT_EQ(names, (std::vector<std::string>{"outer", "own", "Chapter2", "Chapter1", "second"}));
    EXPECT_EQ(c.children[0].command.alias, "inner");
    EXPECT_EQ(c.children[4].command.alias, "second");
    EXPECT_EQ(c.children[4].command.children.at(0).alias, "Chapter1");
}

TEST(Shape, SqlKeepsQuotedAndNestedBraces)
{
    const std::string parentSql = " SELECT '}' AS a, 'x''}{', \"}\", [odd}name], {fn UCASE(b)} FROM t ";
    const ShapeCommand c = parseShapeCommand("SHAPE {" + parentSql + "} APPEND ({SELECT '{' FROM u} RELATE a TO b)");
    EXPECT_EQ(c.sql, parentSql);
    EXPECT_EQ(c.children.at(0).command.sql, "SELECT '{' FROM u");
}

TEST(Shape, RecognisesShapeByItsFirstWord)
{
    EXPECT_TRUE(isShapeCommand("SHAPE {x}"));
    EXPECT_TRUE(isShapeCommand("\n shape{x}"));
    EXPECT_TRUE(isShapeCommand("ShApE"));
    EXPECT_FALSE(isShapeCommand("SELECT * FROM shape"));
    EXPECT_FALSE(isShapeCommand("SHAPELY {x}"));
    EXPECT_FALSE(isShapeCommand("(SHAPE {x})"));
    EXPECT_FALSE(isShapeCommand(""));
}

struct BadCommand {
    std::string text;
    std::string expected;  // part of the description
    int position;          // 1-based character of the fault
};

class MalformedShapes : public testing::TestWithParam<BadCommand> {};

TEST_P(MalformedShapes, RaiseProviderErrorNamingThePlace)
{
    try {
        parseShapeCommand(GetParam().text);
        FAIL() << "accepted: " << GetParam().text;
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), qln::kProviderError);
        EXPECT_EQ(error.source(), "MSDataShape");
        EXPECT_NE(error.description().find(GetParam().expected), std::string::npos) << error.description();
        EXPECT_NE(error.description().find("at character " + std::to_string(GetParam().position)
                                           + " of the SHAPE command \"" + GetParam().text + "\""),
                  std::string::npos)
            << error.description();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shape, MalformedShapes,
    testing::Values(BadCommand{"", "Expected 'SHAPE' but found the end of the text", 1},
                    BadCommand{"SELECT lkey FROM legend", "Expected 'SHAPE' but found \"SELECT\"", 1},
                    BadCommand{"SHAPE {SELECT 1} APPEND", "Expected '(' opening an appended child", 24},
                    BadCommand{"SHAPE {SELECT 1} AS p", "Expected 'APPEND'", 22},
                    BadCommand{"SHAPE {SELECT {fn X()} APPEND ({b} RELATE a TO b)",
                               "'}' closing the SQL statement opened at character 7", 50},
                    BadCommand{"SHAPE {SELECT 'a} APPEND ({b} RELATE a TO b)",
                               "closing ' of the string opened at character 15", 45},
                    BadCommand{"SHAPE {  } APPEND ({b} RELATE a TO b)", "Expected an SQL statement", 8},
                    BadCommand{"SHAPE {a} APPEND ({b} RELATE a TO b", "',' or ')' after the relation", 36},
                    BadCommand{"SHAPE {a} APPEND ({b}) AS c", "Expected 'RELATE' but found \")\"", 22},
                    BadCommand{"SHAPE {a} APPEND ({b} RELATE a b)", "Expected 'TO' but found \"b\"", 32},
                    BadCommand{"SHAPE {a} APPEND ({b} RELATE a TO)", "Expected the child's column", 34},
                    BadCommand{"SHAPE {a} APPEND ({b} RELATE 'a TO b)", "closing ' of the name", 38},
                    BadCommand{"SHAPE {a} APPEND ({b} RELATE a TO b) AS", "an alias after AS", 40},
                    BadCommand{"SHAPE {a} APPEND ({b} RELATE a TO b) AS c junk",
                               "the end of the command but found \"junk\"", 43},
                    BadCommand{"SHAPE {a} APPEND ({b} RELATE a TO b))", "the end of the command", 37},
                    BadCommand{"SHAPE {a} APPEND ({b} RELATE a TO b),", "'('", 38},
                    BadCommand{"SHAPE {a} APPEND ((SHAPE {b} APPEND ({c} RELATE a TO b) RELATE a TO b)",
                               "closing the nested SHAPE command but found \"RELATE\"", 57},
                    BadCommand{"SHAPE {a} APPEND ({b} RELATE a TO b) AS kids, ({c} RELATE a TO b) AS KIDS",
                               "chapter name 'KIDS' is used twice", 47}));

TEST(Shape, LongCommandIsQuotedAroundTheFault)
{
    const std::string text = "SHAPE {SELECT " + std::string(5000, 'x') + "} APPEND ({b} RELATE a b)";
    try {
        parseShapeCommand(text);
        FAIL();
    } catch (const qln::EngineError& error) {
        const std::string& d = error.description();
        EXPECT_NE(d.find("xxx} APPEND ({b} RELATE a b)\""), std::string::npos) << d;
        EXPECT_EQ(d.find("SHAPE {SELECT"), std::string::npos) << d;
        EXPECT_LT(d.size(), 400u);
    }
}

TEST(Shape, NestingIsLimitedWithoutExhaustingTheStack)
{
    std::vector<Level> levels(64, Level{"t", "SELECT k FROM t", "k"});
    const ShapeCommand deepest = parseShapeCommand(engineCommand(levels));
    EXPECT_EQ(deepest.children.size(), 1u);
    levels.push_back(levels.back());
    EXPECT_THROW(parseShapeCommand(engineCommand(levels)), qln::EngineError);

    std::string bomb;
    for (int i = 0; i < 100000; ++i)
        bomb += "SHAPE {x} APPEND ((";
    try {
        parseShapeCommand(bomb);
        FAIL();
    } catch (const qln::EngineError& error) {
        EXPECT_NE(error.description().find("nest deeper than 64 levels"), std::string::npos);
    }
}

} // namespace
