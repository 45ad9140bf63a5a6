// The bundled rules database: its tables and columns, and a catalogue that offers every
// option the viewer and the engine know.
#include "TestDb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

using qln::test::Rows;
using qln::test::TestDb;

namespace {

const std::filesystem::path kDataDir = QUILLON_DATA_DIR;

class RulesDatabase : public ::testing::Test {
protected:
    TestDb rules{kDataDir / "quillon-rules.sqlite"};

    // Attribute rows as maps from column name to value.
    std::vector<std::map<std::string, qln::test::Cell>> attributes() const
    {
        std::vector<std::string> names;
        for (const auto& [name, type] : rules.columns("Attributes"))
            names.push_back(name);
        std::vector<std::map<std::string, qln::test::Cell>> out;
        for (const auto& row : rules.rows("SELECT * FROM Attributes ORDER BY AttrSeq")) {
            std::map<std::string, qln::test::Cell> a;
            for (std::size_t i = 0; i < names.size(); ++i)
                a[names[i]] = row[i];
            out.push_back(std::move(a));
        }
        return out;
    }

    long long countWhere(const std::string& condition) const
    {
        return rules.count("SELECT count(*) FROM Attributes WHERE " + condition);
    }
};

std::string lower(std::string s)
{
    for (auto& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

TEST_F(RulesDatabase, TablesHaveTheRulesColumnsWithDeclaredTypes)
{
    using Columns = std::vector<std::pair<std::string, std::string>>;
    const Columns attributes = {
        {"NodeKey", "VARCHAR(20)"}, {"NodeName", "VARCHAR(100)"}, {"ParentKey", "VARCHAR(20)"},
        {"AttrSeq", "INTEGER"}, {"DisplayFlag", "BOOLEAN"}, {"AttrType", "VARCHAR(20)"},
        {"Description", "TEXT"}, {"DBFColumn", "VARCHAR(10)"}, {"TelvaTable", "VARCHAR(30)"},
        {"AttrColText", "VARCHAR(30)"}, {"TieBreakColText", "VARCHAR(30)"}, {"TieBreak", "INTEGER"},
        {"SeasonOptions", "BOOLEAN"}, {"SoilLayerOptions", "BOOLEAN"}, {"CompOptions", "BOOLEAN"},
        {"OptionList", "BOOLEAN"}, {"SQLWhere", "VARCHAR(255)"}, {"domainname", "VARCHAR(40)"},
        {"RoundNumbers", "INTEGER"}, {"DBFType", "VARCHAR(20)"}, {"DefinedSize", "INTEGER"},
        {"WAMultipliers", "VARCHAR(250)"}, {"AllNullsNoData", "BOOLEAN"}, {"Ratelist", "BOOLEAN"},
        {"RateLow", "VARCHAR(30)"}, {"RateHigh", "VARCHAR(30)"}, {"ThemeName", "VARCHAR(100)"},
        {"UseAVLFile", "BOOLEAN"}, {"AVLFileName", "VARCHAR(60)"}};
    EXPECT_EQ(rules.columns("Attributes"), attributes);
    EXPECT_EQ(rules.columns("Folders"),
              (Columns{{"Key", "VARCHAR(20)"}, {"ParentKey", "VARCHAR(20)"}, {"Name", "VARCHAR(100)"},
                       {"DisplayFlag", "BOOLEAN"}, {"FolderSeq", "INTEGER"}, {"Description", "TEXT"}}));
    EXPECT_EQ(rules.columns("AttrAlgorithms"),
              (Columns{{"NodeKey", "VARCHAR(20)"}, {"AlgorithmName", "VARCHAR(30)"},
                       {"DefaultAlgorithm", "BOOLEAN"}}));
    EXPECT_EQ(rules.columns("ValidAlgorithms"),
              (Columns{{"Name", "VARCHAR(30)"}, {"AlgorithmSeq", "INTEGER"}, {"Initials", "VARCHAR(2)"}}));
    EXPECT_EQ(rules.columns("OptionList"),
              (Columns{{"NodeKey", "VARCHAR(20)"}, {"Label", "VARCHAR(20)"},
                       {"SelectStmt", "VARCHAR(255)"}, {"WhereColumn", "VARCHAR(30)"}}));
}

TEST_F(RulesDatabase, ValidAlgorithmsHoldTheSevenFixedMethodCodes)
{
    const Rows rows = rules.rows("SELECT AlgorithmSeq, Name, Initials FROM ValidAlgorithms ORDER BY AlgorithmSeq");
    const std::vector<std::vector<std::string>> expected = {
        {"0", "Weighted Average", "WA"}, {"1", "Most Limiting", "ML"}, {"2", "Least Limiting", "LL"},
        {"3", "Dominant Soil", "DS"},    {"4", "Dominant Condition", "DC"},
        {"5", "Absence/Presence", "AP"}, {"6", "All Components", "AC"}};
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (std::size_t j = 0; j < 3; ++j)
            EXPECT_EQ(rows[i][j].value_or("<null>"), expected[i][j]);
}

TEST_F(RulesDatabase, FlagsAreStoredAsOneOrZero)
{
    const std::vector<std::pair<std::string, std::string>> flags = {
        {"Attributes", "DisplayFlag"}, {"Attributes", "SeasonOptions"}, {"Attributes", "SoilLayerOptions"},
        {"Attributes", "CompOptions"}, {"Attributes", "OptionList"},    {"Attributes", "AllNullsNoData"},
        {"Attributes", "Ratelist"},    {"Attributes", "UseAVLFile"},    {"Folders", "DisplayFlag"},
        {"AttrAlgorithms", "DefaultAlgorithm"}};
    for (const auto& [table, column] : flags)
        EXPECT_EQ(rules.count("SELECT count(*) FROM " + table + " WHERE typeof(" + column
                              + ")<>'integer' OR " + column + " NOT IN (0,1)"),
                  0)
            << table << "." << column;
}

TEST_F(RulesDatabase, FoldersAndAttributesFormOneTree)
{
    EXPECT_EQ(rules.count("SELECT count(*) FROM Folders WHERE ParentKey<>'ROOT' AND ParentKey NOT IN (SELECT Key FROM Folders)"), 0);
    EXPECT_EQ(rules.count("SELECT count(*) FROM Attributes WHERE ParentKey NOT IN (SELECT Key FROM Folders)"), 0);
    EXPECT_EQ(rules.count("SELECT count(*) FROM Attributes WHERE NodeKey IN (SELECT Key FROM Folders)"), 0)
        << "a node key names both a folder and an attribute";
    // Every folder reaches ROOT without a cycle.
    std::map<std::string, std::string> parent;
    for (const auto& r : rules.rows("SELECT Key, ParentKey FROM Folders"))
        parent[*r[0]] = *r[1];
    for (const auto& [key, p] : parent) {
        std::string at = key;
        std::size_t steps = 0;
        while (at != "ROOT" && steps++ <= parent.size())
            at = parent.at(at);
        EXPECT_EQ(at, "ROOT") << key;
    }
}

TEST_F(RulesDatabase, EveryProcessableAttributeHasMethodsWithOneDefault)
{
    EXPECT_EQ(rules.count("SELECT count(*) FROM AttrAlgorithms WHERE AlgorithmName NOT IN (SELECT Name FROM ValidAlgorithms)"), 0);
    EXPECT_EQ(rules.count("SELECT count(*) FROM AttrAlgorithms WHERE NodeKey NOT IN (SELECT NodeKey FROM Attributes)"), 0);
    for (const auto& a : attributes()) {
        const std::string key = *a.at("NodeKey");
        const std::string table = *a.at("TelvaTable");
        const long long methods = rules.count("SELECT count(*) FROM AttrAlgorithms WHERE NodeKey='" + key + "'");
        const long long defaults = rules.count("SELECT count(*) FROM AttrAlgorithms WHERE DefaultAlgorithm=1 AND NodeKey='" + key + "'");
        if (table == "mapunit" || table == "muaggatt") {
            EXPECT_EQ(methods, 0) << key << ": map-unit values are not aggregated";
        } else {
            EXPECT_GE(methods, 1) << key;
            EXPECT_EQ(defaults, 1) << key;
        }
    }
}

TEST_F(RulesDatabase, ColumnNamesFitTheResultsTableAndCarryTheDefaultInitials)
{
    std::set<std::string> seen;
    for (const auto& a : attributes()) {
        const std::string key = *a.at("NodeKey");
        if (!a.at("DBFColumn"))
            continue;
        const std::string column = *a.at("DBFColumn");
        EXPECT_LE(column.size(), 10u) << key;
        EXPECT_TRUE(std::all_of(column.begin(), column.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
        })) << key << ": " << column;
        EXPECT_TRUE(seen.insert(column).second) << "column name used twice: " << column;
        // The viewer replaces the last two characters by the chosen method's initials.
        const auto initials = rules.column(
            "SELECT Initials FROM AttrAlgorithms, ValidAlgorithms WHERE AlgorithmName=Name AND DefaultAlgorithm=1 AND NodeKey='" + key + "'");
        if (!initials.empty()) {
            EXPECT_EQ(column.substr(column.size() - 2), initials.front()) << key;
        }
    }
}

TEST_F(RulesDatabase, CatalogueUsesEveryRuleOption)
{
    EXPECT_GE(rules.count("SELECT count(*) FROM Attributes"), 25);
    EXPECT_EQ(rules.count("SELECT count(DISTINCT AlgorithmName) FROM AttrAlgorithms"), 7);
    EXPECT_GE(countWhere("TieBreak=1"), 1);
    EXPECT_GE(countWhere("TieBreak=-1"), 1);
    EXPECT_GE(countWhere("SeasonOptions=1"), 1);
    EXPECT_GE(countWhere("SoilLayerOptions=1"), 1);
    EXPECT_GE(countWhere("CompOptions=1"), 1);
    EXPECT_GE(countWhere("OptionList=1 AND NodeKey IN (SELECT NodeKey FROM OptionList WHERE length(WhereColumn)>0 AND length(SelectStmt)>0)"), 1);
    EXPECT_GE(countWhere("length(trim(domainname))>0 AND TieBreakColText='choicesequence'"), 1);
    EXPECT_GE(countWhere("WAMultipliers LIKE '*%|%'"), 1);
    EXPECT_GE(countWhere("Ratelist=1 AND length(RateLow)>0 AND length(RateHigh)>0"), 1);
    EXPECT_GE(countWhere("AllNullsNoData=1"), 1);
    EXPECT_GE(countWhere("RoundNumbers IS NOT NULL"), 1);
    EXPECT_GE(countWhere("RoundNumbers IS NULL AND lower(DBFType)='single'"), 1);
    EXPECT_GE(countWhere("lower(DBFType)='single'"), 1);
    EXPECT_GE(countWhere("lower(DBFType)='text'"), 1);
    // Every letter case of "single" that the engine must accept.
    EXPECT_EQ(rules.count("SELECT count(DISTINCT DBFType) FROM Attributes WHERE lower(DBFType)='single'"), 3);
    EXPECT_GE(countWhere("length(SQLWhere)>0 AND TelvaTable NOT IN ('cointerp')"), 1);
    EXPECT_GE(countWhere("TelvaTable='mapunit'"), 1);
    EXPECT_GE(countWhere("TelvaTable='muaggatt'"), 1);
    EXPECT_GE(countWhere("TelvaTable='cointerp' AND AttrType='Interpretation' AND SQLWhere LIKE '%mrulename%'"), 1);
    EXPECT_GE(countWhere("UseAVLFile=1 AND length(AVLFileName)>0"), 1);
    EXPECT_GE(countWhere("UseAVLFile=0"), 1);
    EXPECT_GE(countWhere("DBFColumn IS NULL"), 1);
    EXPECT_GE(countWhere("DisplayFlag=0"), 1);
    EXPECT_EQ(countWhere("Description IS NULL OR length(Description)<60"), 0) << "every attribute explains itself";
    EXPECT_EQ(countWhere("ThemeName IS NULL OR length(ThemeName)=0"), 0);
    EXPECT_EQ(countWhere("UseAVLFile=1 AND (AVLFileName IS NULL OR AVLFileName NOT LIKE '%.avl')"), 0);
}

TEST_F(RulesDatabase, ConditionsWithOrAreParenthesised)
{
    // The engine joins SQLWhere to its own conditions with " AND " as it stands.
    for (const auto& a : attributes()) {
        if (!a.at("SQLWhere"))
            continue;
        const std::string where = lower(*a.at("SQLWhere"));
        if (where.find(" or ") != std::string::npos) {
            EXPECT_TRUE(where.front() == '(' && where.back() == ')') << *a.at("NodeKey");
        }
    }
}

TEST_F(RulesDatabase, InterpretationConditionsNameTheRuleLast)
{
    // The report keeps the condition from "mrulename" on to find the reasons (ruledepth 1),
    // so nothing about the rating row may follow it.
    for (const auto& a : attributes()) {
        if (*a.at("TelvaTable") != "cointerp")
            continue;
        const std::string where = *a.at("SQLWhere");
        const auto at = lower(where).find("mrulename");
        ASSERT_NE(at, std::string::npos) << *a.at("NodeKey");
        const std::string tail = where.substr(at);
        EXPECT_EQ(tail.find("ruledepth"), std::string::npos) << *a.at("NodeKey");
        EXPECT_EQ(tail.find(" AND "), std::string::npos) << *a.at("NodeKey");
    }
}

TEST(ResultsDatabase, StartsWithAnEmptyMapUnitTable)
{
    TestDb results(kDataDir / "quillon-results.sqlite");
    EXPECT_EQ(results.tables(), std::vector<std::string>{"MU_Data"});
    EXPECT_EQ(results.columns("MU_Data"),
              (std::vector<std::pair<std::string, std::string>>{{"mukey", "VARCHAR(30)"}, {"musym", "VARCHAR(6)"}}));
    EXPECT_EQ(results.count("SELECT count(*) FROM MU_Data"), 0);
}
