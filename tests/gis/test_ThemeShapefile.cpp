// A rating theme converted to a shapefile of its own: read back with shapelib and listed by
// GDAL, numbers in numeric fields, Null as empty cells, the set replaced whole or not at all.
#include "SmallSurvey.h"

#include "quillon/gis/DbaseColumn.h"
#include "quillon/gis/GisError.h"
#include "quillon/gis/MapDocument.h"
#include "quillon/gis/ThemeShapefile.h"

#include "../support/Fixtures.h"
#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <unistd.h>

#include <charconv>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <map>

using namespace qln::gis;
using qln::Variant;

namespace {

std::string display(const std::string& argument)
{
    return "av.run(\"Quillon.DisplayInterps\", \"" + argument + "\" )";
}

std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// mukey -> the column's value as MU_Data holds it (nothing for Null), straight from SQLite.
std::map<std::string, std::optional<std::string>> column(const std::filesystem::path& db, const std::string& name)
{
    std::map<std::string, std::optional<std::string>> out;
    sqlite3* handle = nullptr;
    sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(handle, ("SELECT mukey, " + name + " FROM MU_Data").c_str(), -1, &statement, nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const auto* value = sqlite3_column_text(statement, 1);
        out[reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))] =
            value ? std::optional<std::string>(reinterpret_cast<const char*>(value)) : std::nullopt;
    }
    sqlite3_finalize(statement);
    sqlite3_close(handle);
    return out;
}

double number(const std::string& text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_TRUE(error == std::errc() && end == text.data() + text.size()) << "\"" << text << "\"";
    return value;
}

class ConvertTest : public ::testing::Test {
protected:
    ConvertTest()
        : m_doc([this] { return m_results; })
    {
        m_shp = qln::test::writeSquares(m_temp.path(), 6);
        std::ofstream(m_temp / "squares.prj")
            << "GEOGCS[\"GCS_North_American_1983\",DATUM[\"D_North_American_1983\",SPHEROID[\"GRS_1980\","
               "6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";
        m_results = qln::test::writeResults(m_temp / "results.sqlite", 6);
        qln::test::runSql(*m_results, "ALTER TABLE MU_Data ADD kfact SINGLE; "
                                      "UPDATE MU_Data SET kfact = CASE mukey WHEN 'k0' THEN 0.37 WHEN 'k2' THEN 1.5 "
                                      "WHEN 'k3' THEN -0.125 WHEN 'k4' THEN 12 WHEN 'k5' THEN 0.02 END");
        m_doc.addSoilsTheme(m_shp);
        std::filesystem::create_directory(m_temp / "out");
    }

    // Displays a column and converts it; the permanent theme is the top row afterwards.
    std::filesystem::path convert(const std::string& column, const std::string& name)
    {
        EXPECT_TRUE(m_doc.execute(display(column + "|" + column + " theme|DYNAMIC")).accepted);
        const auto shp = m_temp / "out" / name;
        m_doc.convertToShapefile(*m_doc.activeRow(), shp);
        return shp;
    }

    qln::test::TempFolder m_temp;
    std::filesystem::path m_shp;
    std::optional<std::filesystem::path> m_results;
    MapDocument m_doc;
};

} // namespace

TEST(DbaseColumn, WidthDecimalsAndCells)
{
    DbaseColumn c = columnFor({Variant(2.5), Variant(-0.125), Variant(10), Variant::null()});
    EXPECT_EQ(c.type, 'N');
    EXPECT_EQ(c.width, 6);
    EXPECT_EQ(c.decimals, 3);
    EXPECT_EQ(cellText(Variant(2.5), c), " 2.500");
    EXPECT_EQ(cellText(Variant(10), c), "10.000");
    EXPECT_EQ(cellText(Variant::null(), c), "      ") << "Null is an empty cell, not 0 or stars";

    c = columnFor({Variant(0.3f), Variant(12345), Variant(-7)});
    EXPECT_EQ(c.decimals, 1) << "a single-precision 0.3 is 0.3, not 0.30000001";
    EXPECT_EQ(cellText(Variant(0.3f), c), "    0.3");
    EXPECT_EQ(cellText(Variant(12345), c), "12345.0");

    c = columnFor({Variant(1e-20), Variant(1.0)});
    EXPECT_EQ(c.decimals, 15) << "at most 15 decimals";
    EXPECT_EQ(cellText(Variant(1.0), c), "1.000000000000000");

    c = columnFor({Variant("Very limited"), Variant(3), Variant::null()});
    EXPECT_EQ(c.type, 'C') << "one text makes the column text";
    EXPECT_EQ(c.width, 12);
    EXPECT_EQ(cellText(Variant(3), c), "3           ");

    c = columnFor({Variant(std::string(300, 'x') + "\xC3\xA9")});
    EXPECT_EQ(c.width, 254);
    const std::string cut = cellText(Variant(std::string(253, 'x') + "\xC3\xA9"), c);
    EXPECT_EQ(cut.size(), 254u);
    EXPECT_EQ(cut.substr(250), "xxx ") << "a character is never cut in half";

    c = columnFor({Variant(true), Variant::null(), Variant(false)});
    EXPECT_EQ(c.type, 'L');
    EXPECT_EQ(cellText(Variant(true), c) + cellText(Variant::null(), c) + cellText(Variant(false), c), "T F");

    c = columnFor({Variant::null(), Variant::null()});
    EXPECT_EQ(c.type, 'C');
    EXPECT_EQ(c.width, 1);
    EXPECT_THROW(columnFor({Variant(1e300)}), GisError);
}

TEST(ThemeShapefileNames, SafeNamesAndFields)
{
    EXPECT_EQ(safeFileName("Drainage \"Class\" | wet - Dominant Condition"),
              "Drainage _Class_ _ wet - Dominant Condition");
    EXPECT_EQ(safeFileName("a/b\\c:d*e?f<g>h\ti"), "a_b_c_d_e_f_g_h_i");
    EXPECT_EQ(safeFileName("  ..  "), "theme");
    EXPECT_EQ(safeFileName(". hidden ."), "hidden");
    EXPECT_LE(safeFileName(std::string(99, 'x') + "\xC3\xA9\xC3\xA9").size(), 100u);
    EXPECT_EQ(safeFileName(std::string(99, 'x') + "\xC3\xA9"), std::string(99, 'x'));
    EXPECT_EQ(ratingFieldName("SOMEVERYLONGNAME"), "SOMEVERYLO");
    EXPECT_THROW(ratingFieldName("musym"), GisError);
}

TEST_F(ConvertTest, ReadsBackWithShapelibAsTheSourceAndMUData)
{
    // Written as a desktop program runs: in the user's locale, here one with decimal commas
    // when installed. The file must hold decimal points all the same.
    const std::string before = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const auto shp = convert("kfact", "Erosion K.shp");
    std::setlocale(LC_ALL, before.c_str());
    const SHPHandle h = SHPOpen(shp.c_str(), "rb");
    const DBFHandle d = DBFOpen((m_temp / "out" / "Erosion K.dbf").c_str(), "rb");
    ASSERT_NE(h, nullptr);
    ASSERT_NE(d, nullptr);
    int count = 0, type = 0;
    double low[4], high[4];
    SHPGetInfo(h, &count, &type, low, high);
    EXPECT_EQ(count, 6);
    EXPECT_EQ(type, SHPT_POLYGON);
    EXPECT_EQ(QRectF(QPointF(low[0], low[1]), QPointF(high[0], high[1])), m_doc.soilsThemes()[0]->extent());
    SHPObject* first = SHPReadObject(h, 0);
    EXPECT_EQ(first->nParts, 2) << "the hole kept";
    SHPDestroyObject(first);

    char name[XBASE_FLDNAME_LEN_READ + 1] = {};
    int width = 0, decimals = 0;
    EXPECT_EQ(DBFGetFieldInfo(d, 0, name, &width, nullptr), FTString);
    EXPECT_STREQ(name, "MUKEY");
    EXPECT_EQ(DBFGetFieldInfo(d, 1, name, &width, nullptr), FTString);
    EXPECT_STREQ(name, "MUSYM");
    EXPECT_EQ(DBFGetFieldInfo(d, 2, name, &width, &decimals), FTDouble);
    EXPECT_STREQ(name, "kfact");
    EXPECT_EQ(decimals, 3);
    EXPECT_EQ(DBFGetNativeFieldType(d, 2), 'N');

    const auto expected = column(*m_results, "kfact");
    ASSERT_EQ(DBFGetRecordCount(d), 6);
    for (int i = 0; i < 6; ++i) {
        const std::string key = DBFReadStringAttribute(d, i, 0);
        EXPECT_EQ(key, "k" + std::to_string(i));
        EXPECT_EQ(std::string(DBFReadStringAttribute(d, i, 1)), "S" + std::to_string(i));
        const auto& want = expected.at(key);
        if (!want) {
            EXPECT_TRUE(DBFIsAttributeNULL(d, i, 2)) << key;
            EXPECT_EQ(std::string(DBFReadStringAttribute(d, i, 2)), "") << "an empty cell, not 0";
        } else {
            EXPECT_EQ(number(DBFReadStringAttribute(d, i, 2)), number(*want)) << key;
        }
    }
    SHPClose(h);
    DBFClose(d);
    EXPECT_EQ(readFile(m_temp / "out" / "Erosion K.cpg"), "UTF-8");
    EXPECT_EQ(readFile(m_temp / "out" / "Erosion K.prj"), readFile(m_temp / "squares.prj"));
    for (const auto& entry : std::filesystem::directory_iterator(m_temp / "out"))
        EXPECT_NE(entry.path().filename().string().front(), '.') << "no temporary left: " << entry.path();
}

TEST_F(ConvertTest, PermanentThemeKeepsTheLegendAndSurvivesCleanup)
{
    convert("drclass", "drainage.shp");
    const auto toc = m_doc.tableOfContents();
    ASSERT_EQ(toc.size(), 3u);
    EXPECT_EQ(toc[0].title, "drainage.shp");
    EXPECT_TRUE(toc[0].permanent);
    EXPECT_EQ(toc[1].title, "drclass theme");
    EXPECT_EQ(m_doc.activeRow(), 1u) << "the theme that was active stays active";
    const RatingTheme& permanent = m_doc.ratingThemes()[toc[0].index];
    const RatingTheme& source = m_doc.ratingThemes()[toc[1].index];
    ASSERT_EQ(permanent.legend.entries().size(), source.legend.entries().size());
    for (std::size_t i = 0; i < source.legend.entries().size(); ++i) {
        EXPECT_EQ(permanent.legend.entries()[i].label, source.legend.entries()[i].label);
        EXPECT_EQ(permanent.legend.entries()[i].colour, source.legend.entries()[i].colour);
    }
    EXPECT_EQ(permanent.entryOf, source.entryOf);
    EXPECT_EQ(permanent.layer->mukey(3), "k3") << "drawn from the new file";

    m_doc.setActiveRow(0);
    EXPECT_EQ(m_doc.enableValue(), "N") << "a shapefile of its own, not the viewer's soils theme";
    ASSERT_TRUE(m_doc.execute("av.run(\"Quillon.InterpsCleanup\", \"\" )").accepted);
    const auto after = m_doc.tableOfContents();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].title, "drainage.shp");
    EXPECT_EQ(after[1].title, "squares");
    EXPECT_EQ(m_doc.activeRow(), 0u) << "the converted theme stays active";

    // A display with the converted theme's title adds a theme; it does not replace the file's.
    ASSERT_TRUE(m_doc.execute(display("ph|drainage.shp|DYNAMIC")).accepted);
    EXPECT_EQ(m_doc.tableOfContents().size(), 3u);
    // Converting again to the same file replaces the permanent theme instead of adding one.
    m_doc.convertToShapefile(0, m_temp / "out" / "drainage.shp");
    EXPECT_EQ(m_doc.tableOfContents().size(), 3u);
    EXPECT_EQ(m_doc.ratingThemes().back().column, "ph");
}

TEST_F(ConvertTest, GdalListsTheFieldTypes)
{
    if (std::system("ogrinfo --version > /dev/null 2>&1") != 0) {
        if (qln::test::underCi())
            FAIL() << "ogrinfo (gdal-bin) is not installed";
        GTEST_SKIP() << "ogrinfo (gdal-bin) is not installed; skipping";
    }
    convert("kfact", "kfact.shp");
    convert("drclass", "drclass.shp");
    const auto list = [&](const std::string& name) {
        std::string out;
        const std::string command = "ogrinfo -ro -so -al '" + (m_temp / "out" / name).string() + "' 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        char buffer[4096];
        for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        if (pipe)
            ::pclose(pipe);
        return out;
    };
    std::string info = list("kfact.shp");
    EXPECT_NE(info.find("Geometry: Polygon"), std::string::npos) << info;
    EXPECT_NE(info.find("Feature Count: 6"), std::string::npos) << info;
    EXPECT_NE(info.find("MUKEY: String (2.0)"), std::string::npos) << info;
    EXPECT_NE(info.find("MUSYM: String (2.0)"), std::string::npos) << info;
    EXPECT_NE(info.find("kfact: Real (6.3)"), std::string::npos) << info;
    EXPECT_NE(info.find("298.257222101"), std::string::npos) << "the .prj is read: " << info;
    info = list("drclass.shp");
    EXPECT_NE(info.find("drclass: String (14.0)"), std::string::npos) << info;
}

TEST_F(ConvertTest, ReplacesTheSetWholeOrNotAtAll)
{
    const auto shp = convert("kfact", "set.shp");
    std::ofstream(m_temp / "out" / "set.sbn") << "index of the old geometry";
    const std::string oldShp = readFile(shp);
    const std::string oldDbf = readFile(m_temp / "out" / "set.dbf");

    // A folder where the new .shx would go: nothing may change.
    std::filesystem::rename(m_temp / "out" / "set.shx", m_temp / "out" / "kept.shx");
    std::filesystem::create_directories(m_temp / "out" / "set.shx" / "inside");
    ASSERT_TRUE(m_doc.execute(display("drclass|Drainage|DYNAMIC")).accepted);
    try {
        m_doc.convertToShapefile(0, shp);
        ADD_FAILURE() << "a folder in the way was replaced";
    } catch (const GisError& e) {
        EXPECT_NE(std::string(e.what()).find("set.shx"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(shp), oldShp);
    EXPECT_EQ(readFile(m_temp / "out" / "set.dbf"), oldDbf);
    EXPECT_TRUE(std::filesystem::exists(m_temp / "out" / "set.sbn"));
    EXPECT_TRUE(std::filesystem::is_directory(m_temp / "out" / "set.shx" / "inside"));
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_temp / "out")) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << "no temporary left: " << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 7u) << "set.shp, .shx (the folder), .dbf, .cpg, .prj, .sbn and kept.shx";

    // With the way clear the new set replaces the old one and its stale index goes.
    std::filesystem::remove_all(m_temp / "out" / "set.shx");
    std::filesystem::rename(m_temp / "out" / "kept.shx", m_temp / "out" / "set.shx");
    m_doc.convertToShapefile(0, shp);
    EXPECT_NE(readFile(m_temp / "out" / "set.dbf"), oldDbf);
    EXPECT_FALSE(std::filesystem::exists(m_temp / "out" / "set.sbn"));
}

TEST_F(ConvertTest, RefusesWhatCannotBeWritten)
{
    ASSERT_TRUE(m_doc.execute(display("ph|pH|DYNAMIC")).accepted);
    const auto message = [&](const std::filesystem::path& shp) {
        try {
            m_doc.convertToShapefile(0, shp);
        } catch (const GisError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    std::ofstream(m_temp / "plain.txt") << "a file, not a folder";
    EXPECT_EQ(message(m_temp / "plain.txt" / "x.shp"), "The folder " + (m_temp / "plain.txt").string() + " does not exist");
    EXPECT_EQ(message(m_shp), m_shp.string() + " is the soils theme squares; choose another name");
    EXPECT_NE(message(m_temp / "out" / "x.dbf").find("does not end in .shp"), std::string::npos);
    if (::geteuid() != 0) {  // root writes anywhere
        std::filesystem::create_directory(m_temp / "locked");
        std::filesystem::permissions(m_temp / "locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_EQ(message(m_temp / "locked" / "x.shp"),
                  "Cannot write to the folder " + (m_temp / "locked").string() + ": Permission denied");
        std::filesystem::permissions(m_temp / "locked", std::filesystem::perms::owner_all);
    }
    EXPECT_THROW(m_doc.convertToShapefile(1, m_temp / "out" / "soils.shp"), GisError) << "row 1 is the soils theme";
    EXPECT_EQ(m_doc.tableOfContents().size(), 2u) << "nothing added by a refused conversion";
}
