#include "Filter.h"
#include "Table.h"

#include "quillon/Error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

using qln::Date;
using qln::Variant;
using namespace qln::ado;
using namespace qln::ado::detail;

namespace {

Table makeTable(std::vector<FieldInfo> fields, const std::vector<std::vector<Variant>>& rows)
{
    Table table;
    table.fields = std::move(fields);
    table.columns.resize(table.fields.size());
    for (const auto& row : rows)
        for (std::size_t f = 0; f < row.size(); ++f)
            table.columns[f].push_back(row[f]);
    return table;
}

std::vector<std::uint32_t> rowsMatching(const Table& table, std::string_view filter)
{
    const auto expression = FilterExpression::parse(filter, table.fields);
    std::vector<std::uint32_t> rows;
    for (std::uint32_t row = 0; row < table.rowCount(); ++row)
        if (expression.matches(table, row))
            rows.push_back(row);
    return rows;
}

using Rows = std::vector<std::uint32_t>;
const Variant null = Variant::null();

// Survey rows: texts, a numeric text, numbers and Nulls.
Table soils()
{
    return makeTable({{"mukey", adVarChar}, {"Survey Area", adVarChar}, {"Map Unit", adVarChar},
                      {"comppct_r", adInteger}, {"code", adVarChar}},
                     {{"100", "IA001", "Fa", 85, "12"},
                      {"101", "ia001", "Fb", 10, "9"},
                      {"102", "IA002", "Fa", null, "O'Brien"},
                      {null, "IA002", "Gc", 50, null}});
}

} // namespace

TEST(Filter, ComparesTextsWithoutCaseAndQuotesDoubled)
{
    const Table t = soils();
    EXPECT_EQ(rowsMatching(t, "[Survey Area]='IA001'"), (Rows{0, 1}));
    EXPECT_EQ(rowsMatching(t, "MUKEY = '101'"), (Rows{1}));
    EXPECT_EQ(rowsMatching(t, "code='o''brien'"), (Rows{2}));
    EXPECT_EQ(rowsMatching(t, "code = 'O''Brien' AND mukey='102'"), (Rows{2}));
    EXPECT_EQ(rowsMatching(t, "[Map Unit] >= 'fb'"), (Rows{1, 3}));
    EXPECT_EQ(rowsMatching(t, "[Survey Area]='IA002' and [Map Unit]='Gc'"), (Rows{3}));
    EXPECT_EQ(rowsMatching(t, "comppct_r<50"), (Rows{1}));
    EXPECT_EQ(rowsMatching(t, "comppct_r <> 85"), (Rows{1, 3}));
}

TEST(Filter, NullTestsAndNullFields)
{
    const Table t = soils();
    EXPECT_EQ(rowsMatching(t, "mukey = Null"), (Rows{3}));
    EXPECT_EQ(rowsMatching(t, "mukey<>NULL"), (Rows{0, 1, 2}));
    // A Null value fails every comparison but "= Null", <> included.
    EXPECT_EQ(rowsMatching(t, "comppct_r <> 10"), (Rows{0, 3}));
    EXPECT_EQ(rowsMatching(t, "comppct_r < 1000 OR comppct_r >= 0"), (Rows{0, 1, 3}));
    EXPECT_EQ(rowsMatching(t, "code LIKE '*'"), (Rows{0, 1, 2}));
    EXPECT_EQ(rowsMatching(t, "comppct_r <> Null AND mukey <> null"), (Rows{0, 1}));
}

TEST(Filter, AndBindsTighterThanOrAndParenthesesRegroup)
{
    const Table t = soils();
    EXPECT_EQ(rowsMatching(t, "mukey='100' OR [Map Unit]='Fa' AND comppct_r=50"), (Rows{0}));
    EXPECT_EQ(rowsMatching(t, "[Map Unit]='Fa' AND comppct_r=50 OR mukey='100'"), (Rows{0}));
    EXPECT_EQ(rowsMatching(t, "(mukey='100' OR [Map Unit]='Fa') AND comppct_r=85"), (Rows{0}));
    EXPECT_EQ(rowsMatching(t, "( ( mukey='101' ) OR (code='12' AND (comppct_r>0)) )"), (Rows{0, 1}));
    EXPECT_EQ(rowsMatching(t, "mukey='100' OR mukey='101' OR mukey='102'"), (Rows{0, 1, 2}));
}

TEST(Filter, LikeWithBothWildcardStyles)
{
    const Table t = makeTable({{"name", adVarChar}, {"n", adInteger}},
                              {{"Clarion loam", 1}, {"clarion", 2}, {"Nicollet", 3}, {"abab", 12},
                               {"\xC3\xA9t\xC3\xA9", 100}});
    EXPECT_EQ(rowsMatching(t, "name LIKE 'clarion*'"), (Rows{0, 1}));
    EXPECT_EQ(rowsMatching(t, "name like '%LOAM'"), (Rows{0}));
    EXPECT_EQ(rowsMatching(t, "name LIKE 'n_collet'"), (Rows{2}));
    EXPECT_EQ(rowsMatching(t, "name LIKE '?icolle?'"), (Rows{2}));
    EXPECT_EQ(rowsMatching(t, "name LIKE '*ab'"), (Rows{3}));
    EXPECT_EQ(rowsMatching(t, "name LIKE 'ab*ab*'"), (Rows{3}));
    EXPECT_EQ(rowsMatching(t, "name LIKE 'clarion'"), (Rows{1}));
    // '_' stands for one character, not one byte.
    EXPECT_EQ(rowsMatching(t, "name LIKE '_t_'"), (Rows{4}));
    EXPECT_EQ(rowsMatching(t, "n LIKE '1*'"), (Rows{0, 3, 4}));
}

TEST(Filter, NumbersAgainstNumericTexts)
{
    const Table t = soils();
    // "12" and "9" are numbers beside a number, texts beside a text; "O'Brien" is a text
    // beside either.
    EXPECT_EQ(rowsMatching(t, "code < 10"), (Rows{1}));
    EXPECT_EQ(rowsMatching(t, "code < '5'"), (Rows{0}));
    EXPECT_EQ(rowsMatching(t, "code > 10"), (Rows{0, 2}));
    EXPECT_EQ(rowsMatching(t, "code = 12.0"), (Rows{0}));
    EXPECT_EQ(rowsMatching(t, "code = 1.2e1"), (Rows{0}));
    EXPECT_EQ(rowsMatching(t, "comppct_r = '85'"), (Rows{0}));
    EXPECT_EQ(rowsMatching(t, "comppct_r > -1 AND comppct_r <= +50.5"), (Rows{1, 3}));
}

TEST(Filter, TrueAndFalseAgainstBooleanFields)
{
    const Table t = makeTable({{"Selected", adBoolean}},
                              {{true}, {false}, {null}, {Variant(1)}, {Variant(0)}, {Variant(-1)}});
    EXPECT_EQ(rowsMatching(t, "Selected=TRUE"), (Rows{0, 3, 5}));
    EXPECT_EQ(rowsMatching(t, "selected = false"), (Rows{1, 4}));
    EXPECT_EQ(rowsMatching(t, "Selected<>True"), (Rows{1, 4}));
}

TEST(Filter, DatesAgainstDateAndTextValues)
{
    const double march1 = 45352.0;  // 2024-03-01 in days since 1899-12-30
    const Table t = makeTable({{"d", adDate}},
                              {{Date{march1}}, {Date{march1 + 0.4375}}, {Date{march1 - 1}},
                               {"2024-03-01"}, {null}});
    EXPECT_EQ(rowsMatching(t, "d = #2024-03-01#"), (Rows{0, 3}));
    EXPECT_EQ(rowsMatching(t, "d=#3/1/2024#"), (Rows{0, 3}));
    EXPECT_EQ(rowsMatching(t, "d > # 2024-03-01 #"), (Rows{1}));
    EXPECT_EQ(rowsMatching(t, "d = #2024-03-01 10:30#"), (Rows{1}));
    EXPECT_EQ(rowsMatching(t, "d = #3/1/2024 10:30:00 am#"), (Rows{1}));
    EXPECT_EQ(rowsMatching(t, "d = #3/1/2024 10:30 PM#"), (Rows{}));
    EXPECT_EQ(rowsMatching(t, "d < #3/1/24#"), (Rows{2}));
}

TEST(Filter, BlankTextMatchesEveryRow)
{
    const Table t = soils();
    for (const char* text : {"", "   ", "\t\n"}) {
        const auto expression = FilterExpression::parse(text, t.fields);
        EXPECT_TRUE(expression.matchesAll());
        EXPECT_EQ(rowsMatching(t, text), (Rows{0, 1, 2, 3}));
    }
    EXPECT_FALSE(FilterExpression::parse("mukey<>Null", t.fields).matchesAll());
}

struct BadFilter {
    const char* text;
    const char* problem;
};

class MalformedFilter : public ::testing::TestWithParam<BadFilter> {};

TEST_P(MalformedFilter, ErrorQuotesTheTextAndNamesTheProblem)
{
    const Table t = soils();
    const BadFilter bad = GetParam();
    try {
        FilterExpression::parse(bad.text, t.fields);
        FAIL() << "accepted " << bad.text;
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), adErrInvalidArgument);
        EXPECT_EQ(error.source(), "Recordset.Filter");
        EXPECT_EQ(error.description(), "Invalid filter text \"" + std::string(bad.text) + "\": " + bad.problem);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Filter, MalformedFilter,
    ::testing::Values(
        BadFilter{"mukey=='1'", "expected a value at position 7"},
        BadFilter{"mukey=", "expected a value at position 7"},
        BadFilter{"mukey='1", "unterminated 'text' at position 7"},
        BadFilter{"mukey='it''s", "unterminated 'text' at position 7"},
        BadFilter{"xyz='1'", "unknown field [xyz]"},
        BadFilter{"[Survey  Area]='1'", "unknown field [Survey  Area]"},
        BadFilter{"[Survey Area='1'", "unterminated [field name] at position 1"},
        BadFilter{"(mukey='1' OR mukey='2'", "missing ) for the ( at position 1"},
        BadFilter{"mukey='1')", "unbalanced ) at position 10"},
        BadFilter{"mukey='1' mukey='2'", "unexpected text at position 11"},
        BadFilter{"mukey='1' AND", "expected a field name at position 14"},
        BadFilter{"mukey '1'", "expected a comparison operator (=, <>, <, >, <=, >=, LIKE) at position 7"},
        BadFilter{"mukey = abc", "expected a value at position 9"},
        BadFilter{"comppct_r < Null", "Null can only be compared with = or <> at position 13"},
        BadFilter{"code LIKE 12", "LIKE needs a 'text' pattern at position 11"},
        BadFilter{"comppct_r = 12abc", "invalid number at position 13"},
        BadFilter{"comppct_r = 1e999", "number out of range at position 13"},
        BadFilter{"mukey = #2/30/2024#", "invalid date #2/30/2024# at position 9"},
        BadFilter{"mukey = #2024-13-01#", "invalid date #2024-13-01# at position 9"},
        BadFilter{"mukey = #2024-03-01", "unterminated #date# at position 9"},
        BadFilter{"1abc = 2", "expected a field name at position 1"}));

TEST(Filter, DeepNestingIsRefusedAndLongChainsWork)
{
    const Table t = soils();
    const std::string deep = std::string(100000, '(') + "mukey='100'" + std::string(100000, ')');
    EXPECT_THROW(FilterExpression::parse(deep, t.fields), qln::EngineError);

    std::string chain = "mukey='100'";
    for (int i = 0; i < 20000; ++i)
        chain += " AND comppct_r > " + std::to_string(-i) + " OR mukey = '101'";
    EXPECT_EQ(rowsMatching(t, chain), (Rows{0, 1}));
}

TEST(Filter, SingleEqualityOnlyForOnePlainComparison)
{
    const Table t = makeTable({{"mukey", adVarChar}, {"n", adInteger}, {"d", adDate}, {"b", adBoolean}}, {});
    auto single = [&](const char* text) { return FilterExpression::parse(text, t.fields).singleEquality(); };

    const auto quoted = single("MUKEY = 'a''b'");
    ASSERT_TRUE(quoted);
    EXPECT_EQ(quoted->field, 0);
    EXPECT_TRUE(qln::sameValue(quoted->value, Variant("a'b")));
    const auto number = single("((n=-12))");
    ASSERT_TRUE(number);
    EXPECT_EQ(number->field, 1);
    EXPECT_TRUE(qln::sameValue(number->value, Variant(-12)));

    for (const char* text : {"", "mukey = Null", "mukey<>'a'", "mukey LIKE 'a'", "mukey='a' AND n=1",
                             "mukey='a' OR mukey='b'", "d = #2024-03-01#", "d = '2024-03-01'", "b = TRUE",
                             "n = TRUE"})
        EXPECT_FALSE(single(text)) << text;
}

TEST(Filter, SingleEqualityAgreesWithTheIndex)
{
    // Every row the filter accepts must be among the index's candidates for its value.
    Table t = makeTable({{"k", adVariant}},
                        {{"ABC"}, {"abc"}, {"12"}, {12}, {12.0}, {" 12 "}, {"1.2e1"}, {Variant()},
                         {0}, {null}, {""}, {true}});
    for (const char* text : {"k='abc'", "k=12", "k='12'", "k=''", "k=0", "k=-1", "k='1.2E1'"}) {
        const auto expression = FilterExpression::parse(text, t.fields);
        const auto equality = expression.singleEquality();
        ASSERT_TRUE(equality) << text;
        const auto* candidates = t.candidates(equality->field, equality->value);
        for (std::uint32_t row : rowsMatching(t, text)) {
            ASSERT_NE(candidates, nullptr) << text;
            EXPECT_TRUE(std::binary_search(candidates->begin(), candidates->end(), row))
                << text << " row " << row;
        }
    }
}

TEST(Sort, ParsesKeysDirectionsAndBracketedNames)
{
    const Table t = soils();
    const auto keys = parseSort(" [Survey Area] desc,mukey , code ASC ,Comppct_R DESC", t.fields);
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0].field, 1);
    EXPECT_TRUE(keys[0].descending);
    EXPECT_EQ(keys[1].field, 0);
    EXPECT_FALSE(keys[1].descending);
    EXPECT_EQ(keys[2].field, 4);
    EXPECT_FALSE(keys[2].descending);
    EXPECT_EQ(keys[3].field, 3);
    EXPECT_TRUE(keys[3].descending);
    EXPECT_TRUE(parseSort("  ", t.fields).empty());
}

TEST(Sort, BadTextsQuoteTheText)
{
    const Table t = soils();
    const std::pair<const char*, const char*> cases[] = {
        {"mukey, nope DESC", "unknown field [nope]"},
        {"mukey,,code", "expected a field name at position 7"},
        {"mukey DOWN", "expected , ASC or DESC at position 7"},
        {"mukey,", "expected a field name at position 7"},
    };
    for (const auto& [text, problem] : cases) {
        try {
            parseSort(text, t.fields);
            ADD_FAILURE() << "accepted " << text;
        } catch (const qln::EngineError& error) {
            EXPECT_EQ(error.number(), adErrInvalidArgument);
            EXPECT_EQ(error.source(), "Recordset.Sort");
            EXPECT_EQ(error.description(), "Invalid sort text \"" + std::string(text) + "\": " + problem);
        }
    }
}

namespace {

Rows sorted(const Table& table, std::string_view sort)
{
    Rows rows(table.rowCount());
    std::iota(rows.begin(), rows.end(), 0u);
    const auto keys = parseSort(sort, table.fields);
    std::stable_sort(rows.begin(), rows.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return sortLess(table, keys, a, b); });
    return rows;
}

} // namespace

TEST(Sort, NullsFirstTextsWithoutCaseTiesKeepTheirOrder)
{
    const Table t = makeTable({{"name", adVarChar}, {"pct", adInteger}},
                              {{"beta", 10}, {null, 20}, {"Alpha", 10}, {"alpha", null}, {"BETA", 30}});
    EXPECT_EQ(sorted(t, "name"), (Rows{1, 2, 3, 0, 4}));
    EXPECT_EQ(sorted(t, "name DESC"), (Rows{0, 4, 2, 3, 1}));
    EXPECT_EQ(sorted(t, "pct desc, name"), (Rows{4, 1, 2, 0, 3}));
    EXPECT_EQ(sorted(t, "pct, name DESC"), (Rows{3, 0, 2, 1, 4}));
}

TEST(Sort, MixedKindsGiveAStrictWeakOrder)
{
    // A variant column may hold numbers, numeric texts and texts side by side; sorting
    // must still see a consistent order (an inconsistent one breaks std::sort).
    const std::vector<Variant> values = {"10", 9, "9", "abc", 9.5, null, Variant(), true, "ABC", Date{1.0}};
    std::vector<std::vector<Variant>> rows;
    for (const auto& v : values)
        rows.push_back({v});
    const Table t = makeTable({{"v", adVariant}}, rows);
    const std::vector<SortKey> keys{{0, false}};
    const auto n = static_cast<std::uint32_t>(values.size());
    for (std::uint32_t a = 0; a < n; ++a) {
        EXPECT_FALSE(sortLess(t, keys, a, a));
        for (std::uint32_t b = 0; b < n; ++b) {
            if (!sortLess(t, keys, a, b))
                continue;
            EXPECT_FALSE(sortLess(t, keys, b, a)) << a << " " << b;
            for (std::uint32_t c = 0; c < n; ++c) {
                if (sortLess(t, keys, b, c)) {
                    EXPECT_TRUE(sortLess(t, keys, a, c)) << a << " " << b << " " << c;
                }
            }
        }
    }
    EXPECT_EQ(sorted(t, "v").front(), 5u);  // Null first
}
