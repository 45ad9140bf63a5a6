// Shapefiles as survey downloads come: upper-case field names, code pages, several parts and
// holes, a .prj; and damaged files refused with a message naming the file at fault.
#include "GuiApplication.h"
#include "SmallSurvey.h"

#include "quillon/gis/GisError.h"
#include "quillon/gis/MapRenderer.h"
#include "quillon/gis/SoilsLayer.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace qln::gis;

namespace {

std::string loadError(const std::filesystem::path& shp)
{
    try {
        SoilsLayer::load(shp);
    } catch (const GisError& e) {
        return e.what();
    }
    return "no error";
}

// One shape of two parts (squares at x 0..1 and 2..3), the first with a hole at its centre,
// and a plain square at x 4..5; fields named as the agency names them.
std::filesystem::path writeSurvey(const std::filesystem::path& folder, const char* codePage,
                                  const std::string& symbol = "Ab")
{
    const auto shp = folder / "soilmu_a_xx001.shp";
    SHPHandle h = SHPCreate(shp.c_str(), SHPT_POLYGON);
    DBFHandle d = DBFCreateEx((folder / "soilmu_a_xx001.dbf").c_str(), codePage);
    const int area = DBFAddField(d, "AREASYMBOL", FTString, 20, 0);
    const int sym = DBFAddField(d, "MUSYM", FTString, 10, 0);
    const int key = DBFAddField(d, "MUKEY", FTString, 30, 0);
    std::vector<double> x {0, 0, 1, 1, 0, 0.25, 0.75, 0.75, 0.25, 0.25, 2, 2, 3, 3, 2};
    std::vector<double> y {0, 1, 1, 0, 0, 0.25, 0.25, 0.75, 0.75, 0.25, 0, 1, 1, 0, 0};
    std::vector<int> starts {0, 5, 10};
    SHPObject* o = SHPCreateObject(SHPT_POLYGON, -1, 3, starts.data(), nullptr, 15, x.data(), y.data(), nullptr, nullptr);
    SHPWriteObject(h, -1, o);
    SHPDestroyObject(o);
    std::vector<double> x2 {4, 4, 5, 5, 4}, y2 {0, 1, 1, 0, 0};
    o = SHPCreateSimpleObject(SHPT_POLYGON, 5, x2.data(), y2.data(), nullptr);
    SHPWriteObject(h, -1, o);
    SHPDestroyObject(o);
    for (int i = 0; i < 2; ++i) {
        DBFWriteStringAttribute(d, i, area, "XX001");
        DBFWriteStringAttribute(d, i, sym, i == 0 ? symbol.c_str() : "Cd");
        DBFWriteStringAttribute(d, i, key, i == 0 ? "1001" : "1002");
    }
    SHPClose(h);
    DBFClose(d);
    return shp;
}

} // namespace

TEST(SurveyShapefiles, UpperCaseFieldsPartsAndProjection)
{
    qln::test::TempFolder temp;
    const auto shp = writeSurvey(temp.path(), "UTF-8");
    std::ofstream(temp / "soilmu_a_xx001.prj") << "GEOGCS[\"GCS_WGS_1984\"]\n";
    const SoilsLayer layer = SoilsLayer::load(shp);
    ASSERT_EQ(layer.size(), 2u);
    EXPECT_EQ(layer.mukey(0), "1001") << "MUKEY found whatever its case";
    EXPECT_EQ(layer.musym(1), "Cd");
    EXPECT_EQ(layer.areasymbol(1), "XX001");
    EXPECT_EQ(layer.fieldNames(), (std::vector<std::string> {"AREASYMBOL", "MUSYM", "MUKEY"}));
    EXPECT_EQ(layer.projection(), "GEOGCS[\"GCS_WGS_1984\"]");
    EXPECT_EQ(layer.endRing(0) - layer.firstRing(0), 3u);
    EXPECT_EQ(layer.shapeAt({0.1, 0.1}), 0u);
    EXPECT_EQ(layer.shapeAt({0.5, 0.5}), std::nullopt) << "the hole";
    EXPECT_EQ(layer.shapeAt({2.5, 0.5}), 0u) << "the second part";
    EXPECT_EQ(layer.shapeAt({1.5, 0.5}), std::nullopt) << "between the parts";
}

TEST(SurveyShapefiles, HoleStaysEmptyAndBothPartsAreFilled)
{
    guiApp();
    qln::test::TempFolder temp;
    const auto layer = std::make_shared<const SoilsLayer>(SoilsLayer::load(writeSurvey(temp.path(), "UTF-8")));
    const QColor red(200, 0, 0), blue(0, 0, 200);
    const MapView view {QRectF(-0.5, -0.5, 6, 2), QSize(600, 200)};
    const QImage image = render({layer, {red, blue}, view});
    const QTransform t = viewTransform(view);
    const auto at = [&](double x, double y) { return image.pixelColor(t.map(QPointF(x, y)).toPoint()); };
    EXPECT_EQ(at(0.1, 0.5), red) << "first part, beside the hole";
    EXPECT_EQ(at(0.5, 0.5), QColor(Qt::white)) << "the hole is not filled";
    EXPECT_EQ(at(2.5, 0.5), red) << "second part of the same shape";
    EXPECT_EQ(at(1.5, 0.5), QColor(Qt::white)) << "nothing between the parts";
    EXPECT_EQ(at(4.5, 0.5), blue);
}

TEST(SurveyShapefiles, TextsDecodedByTheirCodePage)
{
    qln::test::TempFolder temp;
    const std::string latin = "\xE9" "Bc";  // "é" in Windows-1252 and in Latin-1
    // A .cpg naming the code page.
    auto layer = SoilsLayer::load(writeSurvey(temp.path(), "1252", latin));
    EXPECT_EQ(layer.musym(0), "\xC3\xA9" "Bc");
    EXPECT_NE(layer.codePage().find("CP1252"), std::string::npos) << layer.codePage();
    // No .cpg: the language byte of the header (87, Windows ANSI).
    layer = SoilsLayer::load(writeSurvey(temp.path(), "LDID/87", latin));
    EXPECT_FALSE(std::filesystem::exists(temp / "soilmu_a_xx001.cpg"));
    EXPECT_EQ(layer.musym(0), "\xC3\xA9" "Bc");
    EXPECT_NE(layer.codePage().find("language byte 87"), std::string::npos) << layer.codePage();
    // DOS code page 850 by language byte: 0x82 is "é" there, not in Windows-1252.
    layer = SoilsLayer::load(writeSurvey(temp.path(), "LDID/2", "\x82"));
    EXPECT_EQ(layer.musym(0), "\xC3\xA9");
    // UTF-8 as it stands.
    layer = SoilsLayer::load(writeSurvey(temp.path(), "UTF-8", "\xC3\xA9"));
    EXPECT_EQ(layer.musym(0), "\xC3\xA9");
}

TEST(SurveyShapefiles, EmptyOrDamagedFilesRefusedNamingTheFile)
{
    qln::test::TempFolder temp;
    const auto shp = writeSurvey(temp.path(), "UTF-8");
    const auto shx = temp / "soilmu_a_xx001.shx";
    const auto dbf = temp / "soilmu_a_xx001.dbf";
    const auto fresh = [&] { writeSurvey(temp.path(), "UTF-8"); };

    // An index entry that points past the end of the main file.
    {
        std::fstream f(shx, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(100 + 8);
        const char far[4] = {'\x7F', '\0', '\0', '\0'};
        f.write(far, 4);
    }
    std::string e = loadError(shp);
    EXPECT_NE(e.find("The index file " + shx.string() + " is damaged"), std::string::npos) << e;

    fresh();  // an index cut inside an entry
    std::filesystem::resize_file(shx, 100 + 8 + 3);
    e = loadError(shp);
    EXPECT_NE(e.find(shx.string()), std::string::npos) << e;
    EXPECT_NE(e.find("damaged"), std::string::npos) << e;

    fresh();
    std::filesystem::resize_file(shx, 0);
    EXPECT_EQ(loadError(shp), "The index file " + shx.string() + " is empty");
    std::filesystem::remove(shx);
    EXPECT_NE(loadError(shp).find("The index file " + shx.string() + " of the shapefile"), std::string::npos);

    fresh();
    std::filesystem::resize_file(dbf, 0);
    EXPECT_EQ(loadError(shp), "The attribute file " + dbf.string() + " is empty");
    fresh();  // the table cut in its last record
    std::filesystem::resize_file(dbf, std::filesystem::file_size(dbf) - 20);
    e = loadError(shp);
    EXPECT_NE(e.find("The attribute file " + dbf.string() + " is damaged"), std::string::npos) << e;

    fresh();
    std::filesystem::resize_file(shp, 0);
    EXPECT_EQ(loadError(shp), "The shapefile " + shp.string() + " is empty");
    fresh();  // the main file shorter than its header says
    std::filesystem::resize_file(shp, std::filesystem::file_size(shp) - 16);
    e = loadError(shp);
    EXPECT_NE(e.find("The shapefile " + shp.string() + " is damaged"), std::string::npos) << e;
}
