// Every attribute of the bundled rules rates real tables and columns of the bundled sample
// survey: the queries the engine builds from a rules row run there and find data.
#include "TestDb.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

using qln::test::Cell;
using qln::test::Rows;
using qln::test::TestDb;

namespace {

const std::filesystem::path kDataDir = QUILLON_DATA_DIR;

struct Attribute {
    std::string key, table, column, tieColumn, domain, where, multipliers;
    bool processable = false;
    bool optionList = false;
};

std::vector<Attribute> loadAttributes(const TestDb& rules)
{
    std::vector<Attribute> out;
    for (const auto& r : rules.rows("SELECT NodeKey, TelvaTable, AttrColText, TieBreakColText, "
                                    "domainname, SQLWhere, WAMultipliers, DBFColumn, OptionList "
                                    "FROM Attributes ORDER BY AttrSeq")) {
        Attribute a;
        a.key = *r[0];
        a.table = r[1].value_or("");
        a.column = r[2].value_or("");
        a.tieColumn = r[3].value_or("");
        a.domain = r[4].value_or("");
        a.where = r[5].value_or("");
        a.multipliers = r[6].value_or("");
        a.processable = r[7].has_value();
        a.optionList = r[8].value_or("0") == "1";
        out.push_back(a);
    }
    return out;
}

std::vector<std::string> split(const std::string& text, char delimiter)
{
    std::vector<std::string> out;
    std::stringstream in(text);
    std::string token;
    while (std::getline(in, token, delimiter))
        out.push_back(token);
    return out;
}

class RulesAgainstSample : public ::testing::Test {
protected:
    TestDb rules{kDataDir / "quillon-rules.sqlite"};
    TestDb soils{kDataDir / "sample" / "sample.sqlite"};
    std::vector<Attribute> attrs = loadAttributes(rules);
};

} // namespace

TEST_F(RulesAgainstSample, TablesAndColumnsExist)
{
    for (const auto& a : attrs) {
        SCOPED_TRACE(a.key);
        ASSERT_TRUE(soils.hasTable(a.table)) << a.table;
        EXPECT_TRUE(soils.hasColumn(a.table, a.column)) << a.column;
        if (a.tieColumn == "choicesequence")
            EXPECT_FALSE(a.domain.empty()) << "choicesequence comes from the domain join";
        else
            EXPECT_TRUE(soils.hasColumn(a.table, a.tieColumn)) << a.tieColumn;
        for (const auto& token : split(a.multipliers, '|')) {
            if (!token.empty() && token[0] == '*')
                EXPECT_TRUE(soils.hasColumn(a.table, token.substr(1))) << token;
            else
                EXPECT_NO_THROW((void)std::stod(token)) << token;
        }
    }
}

TEST_F(RulesAgainstSample, EveryTableReachesLegendThroughTheRelationships)
{
    std::map<std::string, std::vector<std::string>> parents;
    for (const auto& r : soils.rows("SELECT rtabphyname, ltabphyname FROM mdstatrshipdet"))
        parents[*r[0]].push_back(*r[1]);
    for (const auto& a : attrs) {
        std::string at = a.table;
        int steps = 0;
        while (at != "legend" && steps++ < 10) {
            ASSERT_EQ(parents[at].size(), 1u) << a.key << ": " << at << " needs exactly one parent";
            at = parents[at].front();
        }
        EXPECT_EQ(at, "legend") << a.key;
    }
}

TEST_F(RulesAgainstSample, DomainsExistAndCodeEveryStoredValue)
{
    for (const auto& a : attrs) {
        if (a.domain.empty())
            continue;
        SCOPED_TRACE(a.key);
        EXPECT_EQ(soils.count("SELECT count(*) FROM mdstatdommas WHERE domainname='" + a.domain + "'"), 1);
        EXPECT_GT(soils.count("SELECT count(*) FROM mdstatdomdet WHERE domainname='" + a.domain + "'"), 1);
        // A value outside the domain would silently drop out of the domain join.
        EXPECT_EQ(soils.count("SELECT count(*) FROM " + a.table + " WHERE " + a.column
                              + " IS NOT NULL AND " + a.column
                              + " NOT IN (SELECT choice FROM mdstatdomdet WHERE domainname='" + a.domain + "')"),
                  0);
    }
}

TEST_F(RulesAgainstSample, AttributeQueriesRunAndFindData)
{
    for (const auto& a : attrs) {
        SCOPED_TRACE(a.key);
        // The columns, tables and conditions the engine puts at the attribute's level.
        std::string columns = a.tieColumn + "," + a.column;
        std::string tables = a.table;
        std::vector<std::string> conditions;
        if (!a.domain.empty()) {
            tables += ",mdstatdomdet";
            conditions.push_back("mdstatdomdet.domainname='" + a.domain + "' AND mdstatdomdet.choice="
                                 + a.table + "." + a.column);
        }
        if (!a.where.empty())
            conditions.push_back(a.where);
        if (a.optionList)
            for (const auto& r : rules.rows("SELECT SelectStmt, WhereColumn FROM OptionList WHERE NodeKey='" + a.key + "'")) {
                const Rows items = soils.rows(*r[0]);
                ASSERT_FALSE(items.empty()) << *r[0];
                conditions.push_back(*r[1] + "='" + items.front().at(0).value() + "'");
            }
        std::string sql = "SELECT " + columns + " FROM " + tables;
        for (std::size_t i = 0; i < conditions.size(); ++i)
            sql += (i ? " AND " : " WHERE ") + conditions[i];
        Rows rows;
        std::string error;
        ASSERT_TRUE(soils.tryRows(sql, rows, error)) << error << " in: " << sql;
        if (a.processable) {
            EXPECT_FALSE(rows.empty()) << sql;
        }
    }
}

TEST_F(RulesAgainstSample, OptionListsRunAndTheirColumnsExist)
{
    const Rows lists = rules.rows("SELECT OptionList.NodeKey, SelectStmt, WhereColumn, TelvaTable "
                                  "FROM OptionList, Attributes WHERE OptionList.NodeKey=Attributes.NodeKey");
    ASSERT_FALSE(lists.empty());
    EXPECT_EQ(rules.count("SELECT count(*) FROM OptionList WHERE NodeKey NOT IN (SELECT NodeKey FROM Attributes WHERE OptionList=1)"), 0);
    for (const auto& r : lists) {
        SCOPED_TRACE(*r[0]);
        const Rows items = soils.rows(*r[1]);
        EXPECT_GE(items.size(), 2u);
        for (const auto& item : items)
            EXPECT_TRUE(item.at(0) && !item.at(0)->empty());
        EXPECT_TRUE(soils.hasColumn(*r[3], *r[2]));
    }
}

TEST_F(RulesAgainstSample, InterpretationReasonsAreFoundByTheRuleCondition)
{
    for (const auto& a : attrs) {
        if (a.table != "cointerp" || !a.processable)
            continue;
        SCOPED_TRACE(a.key);
        const std::string rule = a.where.substr(a.where.find("mrulename"));
        EXPECT_GT(soils.count("SELECT count(*) FROM cointerp WHERE cointerp.ruledepth=1 AND " + rule), 0);
    }
}
