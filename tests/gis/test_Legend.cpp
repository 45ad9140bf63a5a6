// Legends from files and legends the map makes itself.
#include "quillon/gis/GisError.h"
#include "quillon/gis/LayerStyle.h"
#include "quillon/gis/Legend.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <fstream>
#include <map>

using namespace qln::gis;
using qln::Variant;

namespace {

std::vector<std::string> labels(const Legend& legend)
{
    std::vector<std::string> out;
    for (const auto& e : legend.entries())
        out.push_back(e.label);
    return out;
}

std::string errorOf(const std::filesystem::path& file, const std::string& text)
{
    std::ofstream(file) << text;
    try {
        Legend::fromFile(file);
    } catch (const GisError& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(Legend, BundledFilesReadAndClassify)
{
    int files = 0;
    for (const auto& f : std::filesystem::directory_iterator(QUILLON_LEGENDS)) {
        if (f.path().extension() != ".avl")
            continue;
        ++files;
        EXPECT_NO_THROW(Legend::fromFile(f.path())) << f.path();
    }
    EXPECT_GE(files, 10);

    Legend ksat = Legend::fromFile(std::filesystem::path(QUILLON_LEGENDS) / "ksat.avl");
    EXPECT_EQ(ksat.title(), "Saturated Hydraulic Conductivity (um/s)");
    EXPECT_EQ(ksat.entries()[ksat.classify(Variant(0.1))].label, "Very slow (less than 0.42)");
    EXPECT_EQ(ksat.entries()[ksat.classify(Variant(0.42))].label, "Slow (0.42 to 1.4)") << "low bound is inside";
    EXPECT_EQ(ksat.entries()[ksat.classify(Variant(500.0))].label, "Extremely rapid (141 or more)");
    // A results column of type Single holds floats: 1.4 reads back as 1.4f, below 1.4 as a double.
    EXPECT_EQ(ksat.entries()[ksat.classify(Variant(1.4f))].label, "Moderate (1.4 to 14)");
    Legend ph = Legend::fromFile(std::filesystem::path(QUILLON_LEGENDS) / "ph.avl");
    EXPECT_EQ(ph.entries()[ph.classify(Variant(6.6f))].label, "Neutral (6.6 to 7.3)");
    EXPECT_EQ(ksat.entries()[ksat.classify(Variant::null())].label, "Not rated");

    Legend drainage = Legend::fromFile(std::filesystem::path(QUILLON_LEGENDS) / "drainage_class.avl");
    EXPECT_EQ(drainage.entries()[drainage.classify(Variant("Well drained"))].label, "Well drained");
    const std::size_t before = drainage.entries().size();
    const std::size_t other = drainage.classify(Variant("well drained"));
    EXPECT_EQ(drainage.entries()[other].label, "Other values") << "classes compare case-sensitively";
    EXPECT_EQ(drainage.classify(Variant("Swampy")), other) << "one entry for all unmatched values";
    EXPECT_EQ(drainage.entries().size(), before + 1);
}

TEST(Legend, BrokenFilesNameFileAndLine)
{
    qln::test::TempFolder temp;
    const auto file = temp / "bad.avl";
    EXPECT_NE(errorOf(file, "class|a|#ffffff|A\n").find("line 1: the file must begin with quillon-legend|1"),
              std::string::npos);
    EXPECT_NE(errorOf(file, "quillon-legend|1\n# note\nclass|a|#fffff|A\n").find("bad.avl, line 3: \"#fffff\" is not a colour"),
              std::string::npos);
    EXPECT_NE(errorOf(file, "quillon-legend|1\nrange|x|2|#ffffff|A\n").find("\"x\" is not a number"), std::string::npos);
    EXPECT_NE(errorOf(file, "quillon-legend|1\nclass|a|#ffffff|A\nrange|1|2|#ffffff|B\n").find("mixes"),
              std::string::npos);
    EXPECT_NE(errorOf(file, "quillon-legend|1\ntitle|only\n").find("no class or range"), std::string::npos);
    EXPECT_NE(errorOf(file, "").find("is empty"), std::string::npos);
    EXPECT_NE(errorOf(file, "quillon-legend|1\nclass|a|#ffffff\n").find("unknown entry"), std::string::npos);
    EXPECT_NE(errorOf(temp / "missing.avl", "").find("missing.avl"), std::string::npos);
}

TEST(Legend, DynamicClasses)
{
    // Texts: one class per distinct value, Null as "Not rated".
    const Legend texts = Legend::dynamic({Variant("Well drained"), Variant("Poorly drained"), Variant::null(),
                                          Variant("Well drained")});
    EXPECT_EQ(labels(texts), (std::vector<std::string> {"Poorly drained", "Well drained", "Not rated"}));

    // Numbers: five classes holding about the same number of units each.
    std::vector<Variant> numbers;
    for (int i = 1; i <= 100; ++i)
        numbers.emplace_back(static_cast<double>(i));
    Legend five = Legend::dynamic(numbers);
    ASSERT_EQ(five.entries().size(), 5u) << "no Null, no Not rated entry";
    std::vector<int> counts(5);
    for (const auto& v : numbers)
        ++counts.at(five.classify(v));
    EXPECT_EQ(counts, (std::vector<int> {20, 20, 20, 20, 20}));
    EXPECT_EQ(five.entries().front().label, "1 to less than 21");
    EXPECT_EQ(five.entries().back().label, "81 to 100");

    // Few distinct numbers give fewer classes; each value lands in a class, none in "Other".
    Legend few = Legend::dynamic({Variant(1), Variant(1), Variant(1), Variant(2), Variant::null()});
    EXPECT_EQ(labels(few), (std::vector<std::string> {"1 to less than 2", "2", "Not rated"}));
    EXPECT_EQ(few.classify(Variant(2)), 1u);

    // Single ratings (a results column of that type) are the decimals they read as: in the
    // labels, and against the bounds of the classes.
    Legend singles = Legend::dynamic({Variant(3.7f), Variant(10.8f), Variant(0.22f)});
    EXPECT_EQ(labels(singles), (std::vector<std::string> {"0.22 to less than 3.7", "3.7 to less than 10.8", "10.8"}));
    EXPECT_EQ(singles.classify(Variant(3.7f)), 1u);

    // Numbers mixed with a text are texts.
    const Legend mixed = Legend::dynamic({Variant(1), Variant("1a")});
    EXPECT_EQ(labels(mixed), (std::vector<std::string> {"1", "1a"}));
    // Nothing rated at all still has a legend.
    EXPECT_EQ(labels(Legend::dynamic({Variant::null()})), (std::vector<std::string> {"Not rated"}));
}

// The stored style QGIS draws a GeoPackage by: one rule per entry, in legend order, testing
// the field as classify() tests a rating, filled with the entry's colour.
TEST(Legend, StyleRulesMatchTheEntries)
{
    struct Rule {
        std::string label, filter, colour;
    };
    const auto rulesOf = [](const std::string& qml) {
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_string(qml.c_str())) << qml;
        const auto renderer = doc.child("qgis").child("renderer-v2");
        EXPECT_STREQ(renderer.attribute("type").value(), "RuleRenderer");
        std::map<std::string, std::string> colours;
        for (const auto& symbol : renderer.child("symbols").children("symbol"))
            colours[symbol.attribute("name").value()] =
                symbol.child("layer").find_child_by_attribute("prop", "k", "color").attribute("v").value();
        std::vector<Rule> out;
        for (const auto& rule : renderer.child("rules").children("rule"))
            out.push_back({rule.attribute("label").value(), rule.attribute("filter").value(),
                           colours[rule.attribute("symbol").value()]});
        return out;
    };

    Legend ksat = Legend::fromFile(std::filesystem::path(QUILLON_LEGENDS) / "ksat.avl");
    auto rules = rulesOf(qgisStyle(ksat, "KSAT_WA", true));
    ASSERT_EQ(rules.size(), ksat.entries().size());
    EXPECT_EQ(rules[0].filter, "\"KSAT_WA\" IS NOT NULL AND \"KSAT_WA\" < 0.42") << "open below";
    EXPECT_EQ(rules[0].colour, "178,24,43,255");
    EXPECT_EQ(rules[1].filter, "\"KSAT_WA\" IS NOT NULL AND \"KSAT_WA\" >= 0.42 AND \"KSAT_WA\" < 1.4");
    EXPECT_EQ(rules[5].filter, "\"KSAT_WA\" IS NOT NULL AND \"KSAT_WA\" >= 141") << "open above";
    EXPECT_EQ(rules[6].label, "Not rated");
    EXPECT_EQ(rules[6].filter, "\"KSAT_WA\" IS NULL");
    // Over a text column a range compares the numbers the texts hold.
    EXPECT_EQ(rulesOf(qgisStyle(ksat, "K", false))[1].filter,
              "to_real(\"K\") IS NOT NULL AND to_real(\"K\") >= 0.42 AND to_real(\"K\") < 1.4");

    // Classes: texts quoted (a quote doubled), numbers as numbers in a numeric field; the
    // entry for unmatched values takes what no rule drew; a label is kept whole.
    Legend texts = Legend::dynamic({Variant("O'Neil & <Sons>"), Variant("Well drained")});
    texts.classify(Variant::null());
    texts.classify(Variant("unlisted"));
    rules = rulesOf(qgisStyle(texts, "Drain \"DC\"", false));
    ASSERT_EQ(rules.size(), 4u);
    EXPECT_EQ(rules[0].label, "O'Neil & <Sons>");
    EXPECT_EQ(rules[0].filter, "\"Drain \"\"DC\"\"\" = 'O''Neil & <Sons>'");
    EXPECT_EQ(rules[2].filter, "\"Drain \"\"DC\"\"\" IS NULL");
    EXPECT_EQ(rules[3].label, "Other values");
    EXPECT_EQ(rules[3].filter, "ELSE");
    EXPECT_EQ(rulesOf(qgisStyle(Legend::dynamic({Variant("1"), Variant("x")}), "C", true))[0].filter, "\"C\" = 1");

    // The top class of numbers made here holds its top value.
    std::vector<Variant> numbers;
    for (int i = 1; i <= 10; ++i)
        numbers.emplace_back(i * 0.5);
    rules = rulesOf(qgisStyle(Legend::dynamic(numbers), "N", true));
    EXPECT_EQ(rules.back().filter, "\"N\" IS NOT NULL AND \"N\" >= 4.5 AND \"N\" <= 5");

    // The SLD for other map programs has the same rules in the same order.
    pugi::xml_document sld;
    ASSERT_TRUE(sld.load_string(sldStyle(ksat, "ksat <1>", "KSAT_WA").c_str()));
    const auto layer = sld.child("StyledLayerDescriptor").child("NamedLayer");
    EXPECT_STREQ(layer.child("se:Name").text().get(), "ksat <1>");
    std::vector<pugi::xml_node> sldRules;
    for (const auto& rule : layer.child("UserStyle").child("se:FeatureTypeStyle").children("se:Rule"))
        sldRules.push_back(rule);
    ASSERT_EQ(sldRules.size(), ksat.entries().size());
    const auto slow = sldRules[1].child("ogc:Filter").child("ogc:And");
    EXPECT_STREQ(slow.child("ogc:PropertyIsGreaterThanOrEqualTo").child("ogc:Literal").text().get(), "0.42");
    EXPECT_STREQ(slow.child("ogc:PropertyIsLessThan").child("ogc:Literal").text().get(), "1.4");
    EXPECT_TRUE(slow.child("ogc:Not").child("ogc:PropertyIsNull")) << "Null is in no range";
    EXPECT_FALSE(sldRules[0].child("ogc:Filter").child("ogc:And").child("ogc:PropertyIsGreaterThanOrEqualTo"));
    EXPECT_TRUE(sldRules[6].child("ogc:Filter").child("ogc:PropertyIsNull"));
    EXPECT_STREQ(sldRules[1].child("se:PolygonSymbolizer").child("se:Fill").child("se:SvgParameter").text().get(),
                 "#ef8a62");
    ASSERT_TRUE(sld.load_string(sldStyle(texts, "t", "DC").c_str()));
    const auto textRules = sld.child("StyledLayerDescriptor").child("NamedLayer").child("UserStyle")
                               .child("se:FeatureTypeStyle").children("se:Rule");
    std::vector<pugi::xml_node> t(textRules.begin(), textRules.end());
    ASSERT_EQ(t.size(), 4u);
    EXPECT_STREQ(t[0].child("ogc:Filter").child("ogc:PropertyIsEqualTo").child("ogc:Literal").text().get(),
                 "O'Neil & <Sons>");
    EXPECT_TRUE(t[3].child("se:ElseFilter")) << "other values";
}
