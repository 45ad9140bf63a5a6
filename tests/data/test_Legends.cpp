// The bundled legend files follow their documented format and cover the values the rated
// columns hold.
#include "TestDb.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

using qln::test::TestDb;

namespace {

const std::filesystem::path kDataDir = QUILLON_DATA_DIR;
const std::filesystem::path kLegendSources = std::filesystem::path(QUILLON_SOURCE_DIR) / "data" / "legends";

struct Legend {
    std::vector<std::string> classes;
    std::vector<std::pair<std::optional<double>, std::optional<double>>> ranges;
    int titles = 0;
    int nodata = 0;
};

std::string trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t\r");
    const auto e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out;
    std::stringstream in(line);
    std::string f;
    while (std::getline(in, f, '|'))
        out.push_back(trim(f));
    if (!line.empty() && line.back() == '|')
        out.emplace_back();
    return out;
}

std::optional<double> bound(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    std::size_t used = 0;
    const double v = std::stod(text, &used);
    if (used != text.size())
        throw std::invalid_argument("not a number: " + text);
    return v;
}

// Parses a legend file; a broken line fails the calling test with the file and line.
Legend parse(const std::filesystem::path& path)
{
    static const std::regex colour("^#[0-9a-fA-F]{6}$");
    Legend legend;
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    std::string line;
    int number = 0;
    bool header = false;
    while (std::getline(in, line)) {
        ++number;
        const std::string text = trim(line);
        if (text.empty() || text[0] == '#')
            continue;
        const auto f = fields(text);
        const std::string where = path.filename().string() + ":" + std::to_string(number);
        if (!header) {
            EXPECT_EQ(f, (std::vector<std::string>{"quillon-legend", "1"})) << where;
            header = true;
        } else if (f[0] == "title" && f.size() == 2) {
            ++legend.titles;
        } else if (f[0] == "class" && f.size() == 4) {
            EXPECT_TRUE(std::regex_match(f[2], colour)) << where;
            EXPECT_FALSE(f[3].empty()) << where;
            legend.classes.push_back(f[1]);
        } else if (f[0] == "range" && f.size() == 5) {
            EXPECT_TRUE(std::regex_match(f[3], colour)) << where;
            EXPECT_NO_THROW(legend.ranges.emplace_back(bound(f[1]), bound(f[2]))) << where;
        } else if (f[0] == "nodata" && f.size() == 3) {
            EXPECT_TRUE(std::regex_match(f[1], colour)) << where;
            ++legend.nodata;
        } else {
            ADD_FAILURE() << where << ": unknown entry " << text;
        }
    }
    EXPECT_TRUE(header) << path;
    return legend;
}

} // namespace

TEST(Legends, EveryFileFollowsTheFormat)
{
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kLegendSources)) {
        if (entry.path().extension() != ".avl")
            continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        const Legend l = parse(entry.path());
        EXPECT_LE(l.titles, 1);
        EXPECT_LE(l.nodata, 1);
        EXPECT_NE(l.classes.empty(), l.ranges.empty()) << "either classes or ranges";
        EXPECT_EQ(std::set<std::string>(l.classes.begin(), l.classes.end()).size(), l.classes.size());
        for (std::size_t i = 0; i < l.ranges.size(); ++i) {
            const auto& [lo, hi] = l.ranges[i];
            if (lo && hi) {
                EXPECT_LT(*lo, *hi);
            }
            if (i > 0) {
                EXPECT_EQ(l.ranges[i - 1].second, lo) << "ranges follow each other without gap or overlap";
            }
            EXPECT_EQ(!lo, i == 0) << "only the first range is open below";
            EXPECT_EQ(!hi, i + 1 == l.ranges.size()) << "only the last range is open above";
        }
        // The build copies the file unchanged.
        std::ifstream a(entry.path()), b(kDataDir / "legends" / entry.path().filename());
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}),
                  std::string(std::istreambuf_iterator<char>(b), {}));
    }
    EXPECT_GE(files, 5);
}

TEST(Legends, ClassesCoverTheRatedValues)
{
    TestDb rules(kDataDir / "quillon-rules.sqlite");
    TestDb soils(kDataDir / "sample" / "sample.sqlite");
    for (const auto& r : rules.rows("SELECT NodeKey, AVLFileName, TelvaTable, AttrColText, SQLWhere, NodeKey "
                                    "FROM Attributes WHERE UseAVLFile=1")) {
        SCOPED_TRACE(*r[0]);
        const auto path = kDataDir / "legends" / *r[1];
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        const Legend l = parse(path);
        const std::set<std::string> classes(l.classes.begin(), l.classes.end());
        if (l.classes.empty())
            continue;
        const std::string key = *r[0];
        if (key == "WAT_HYDRIC") {
            // Absence/Presence rates with its own four texts.
            EXPECT_EQ(classes, (std::set<std::string>{"All Hydric", "Partially Hydric", "Not Hydric", "Unknown Hydric"}));
            continue;
        }
        const std::string sql = "SELECT DISTINCT " + *r[3] + " FROM " + *r[2] + " WHERE " + *r[3]
                              + " IS NOT NULL" + (r[4] ? " AND " + *r[4] : std::string());
        for (const auto& value : soils.column(sql))
            EXPECT_TRUE(classes.count(value)) << *r[1] << " has no class for " << value;
    }
}
