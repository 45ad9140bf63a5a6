// Legends from files and legends the map makes itself.
#include "quillon/gis/GisError.h"
#include "quillon/gis/Legend.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

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
