// The soils layer, the viewer's script calls and the map document they change.
#include "GuiApplication.h"
#include "SmallSurvey.h"

#include "quillon/gis/GisError.h"
#include "quillon/gis/MapDocument.h"
#include "quillon/gis/MapRenderer.h"
#include "quillon/gis/ResultsLocation.h"
#include "quillon/gis/ThemeJson.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fstream>

using namespace qln::gis;
using qln::Variant;

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

std::string display(const std::string& argument)
{
    return "av.run(\"Quillon.DisplayInterps\", \"" + argument + "\" )";
}

const std::string kCleanup = "av.run(\"Quillon.InterpsCleanup\", \"\" )";

} // namespace

TEST(SoilsLayer, ReadsPolygonsAndFindsThemWithHoles)
{
    qln::test::TempFolder temp;
    const SoilsLayer layer = SoilsLayer::load(qln::test::writeSquares(temp.path(), 4));
    ASSERT_EQ(layer.size(), 4u);
    EXPECT_EQ(layer.mukey(2), "k2");
    EXPECT_EQ(layer.musym(3), "S3");
    EXPECT_EQ(layer.title(), "squares");
    EXPECT_EQ(layer.attributeFileName(), "squares.dbf");
    EXPECT_EQ(layer.extent(), QRectF(0, 0, 4, 1));
    EXPECT_EQ(layer.shapeAt({2.5, 0.5}), 2u);
    EXPECT_EQ(layer.shapeAt({0.2, 0.2}), 0u);
    EXPECT_EQ(layer.shapeAt({0.5, 0.5}), std::nullopt) << "inside the hole";
    EXPECT_EQ(layer.shapeAt({9, 0.5}), std::nullopt);
}

TEST(SoilsLayer, UnreadableFilesGiveClearErrors)
{
    qln::test::TempFolder temp;
    EXPECT_NE(loadError(temp / "none.shp").find("Cannot read the shapefile"), std::string::npos);

    const auto noKey = qln::test::writeSquares(temp.path(), 2, false);
    EXPECT_NE(loadError(noKey).find("has no mukey column"), std::string::npos);

    const auto shp = qln::test::writeSquares(temp.path(), 3);
    std::filesystem::remove(temp / "squares.dbf");
    EXPECT_NE(loadError(shp).find("The attribute file " + (temp / "squares.dbf").string() + " of the shapefile"),
              std::string::npos) << loadError(shp);

    // Damaged: the main file cut in the middle of its shapes.
    qln::test::writeSquares(temp.path(), 3);
    std::filesystem::resize_file(shp, 150);
    EXPECT_NE(loadError(shp).find("damaged"), std::string::npos) << loadError(shp);

    std::ofstream(temp / "text.shp") << "not a shapefile at all, just some text to fill a header of 100 bytes....";
    EXPECT_NE(loadError(temp / "text.shp").find("text.shp"), std::string::npos);
}

TEST(SoilsLayer, ShapesWithNonFiniteCoordinatesAreLeftOutNamedAndTheRestDrawnAndConverted)
{
    qln::test::TempFolder temp;
    const auto shp = qln::test::writeSquares(temp.path(), 3, true, 1);
    const SoilsLayer layer = SoilsLayer::load(shp);
    ASSERT_EQ(layer.size(), 3u) << "the row of the shape left out stays";
    ASSERT_EQ(layer.warnings().size(), 1u);
    EXPECT_NE(layer.warnings()[0].find("shape 2 (mukey k1)"), std::string::npos) << layer.warnings()[0];
    EXPECT_EQ(layer.extent(), QRectF(0, 0, 3, 1));
    EXPECT_EQ(layer.firstRing(1), layer.endRing(1));
    EXPECT_EQ(layer.shapeAt({2.5, 0.5}), 2u);
    EXPECT_EQ(layer.shapeAt({1.5, 0.5}), std::nullopt);

    std::optional<std::filesystem::path> results = qln::test::writeResults(temp / "results.sqlite", 3);
    MapDocument document([&] { return results; });
    document.addSoilsTheme(shp);
    ASSERT_TRUE(document.execute(display("ph|pH|DYNAMIC")).accepted);
    const auto converted = temp / "ph.shp";
    document.convertToShapefile(0, converted);
    const SHPHandle h = SHPOpen(converted.c_str(), "rb");
    ASSERT_NE(h, nullptr);
    int count = 0;
    double low[4], high[4];
    SHPGetInfo(h, &count, nullptr, low, high);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(QRectF(QPointF(low[0], low[1]), QPointF(high[0], high[1])), QRectF(0, 0, 3, 1));
    for (int s = 0; s < 3; ++s) {
        SHPObject* o = SHPReadObject(h, s);
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->nSHPType, s == 1 ? SHPT_NULL : SHPT_POLYGON) << "shape " << s;
        SHPDestroyObject(o);
    }
    SHPClose(h);
}

TEST(ScriptCalls, CommandAndArgumentParsing)
{
    const auto call = parseRunCommand(display("drclass|Drainage \"Class\" | x|DYNAMIC"));
    ASSERT_TRUE(call);
    EXPECT_EQ(call->script, "Quillon.DisplayInterps");
    EXPECT_EQ(call->argument, "drclass|Drainage \"Class\" | x|DYNAMIC");
    const DisplayRequest r = parseDisplayArgument(call->argument);
    EXPECT_EQ(r.column, "drclass");
    EXPECT_EQ(r.title, "Drainage \"Class\" | x");
    EXPECT_EQ(r.legend, "DYNAMIC");

    const auto cleanup = parseRunCommand(kCleanup);
    ASSERT_TRUE(cleanup);
    EXPECT_EQ(cleanup->script, "Quillon.InterpsCleanup");
    EXPECT_EQ(cleanup->argument, "");

    EXPECT_FALSE(parseRunCommand("av.run(\"Quillon.InterpsCleanup\", \"\")")) << "the blank before ) belongs";
    EXPECT_FALSE(parseRunCommand("EXIT"));
    EXPECT_FALSE(parseRunCommand("av.run(\"a\"b\", \"\" )"));
    EXPECT_THROW(parseDisplayArgument("drclass|DYNAMIC"), GisError);
    EXPECT_THROW(parseDisplayArgument("|title|DYNAMIC"), GisError);
}

class MapDocumentTest : public ::testing::Test {
protected:
    MapDocumentTest()
        : m_doc([this] { return m_results; })
    {
        m_shp = qln::test::writeSquares(m_temp.path(), 6);
        m_results = qln::test::writeResults(m_temp / "results.sqlite", 6);
        m_doc.addSoilsTheme(m_shp);
    }
    qln::test::TempFolder m_temp;
    std::filesystem::path m_shp;
    std::optional<std::filesystem::path> m_results;
    MapDocument m_doc;
};

TEST_F(MapDocumentTest, DisplayJoinsTheColumnAndCleanupRemovesIt)
{
    EXPECT_EQ(m_doc.enableValue(), "Y") << "the soils theme is active";
    const auto reply = m_doc.execute(display("DRCLASS|Drainage \"Class\" | wet|DYNAMIC"));
    ASSERT_TRUE(reply.accepted) << reply.reason;
    ASSERT_EQ(m_doc.ratingThemes().size(), 1u);
    const RatingTheme& theme = m_doc.ratingThemes()[0];
    EXPECT_EQ(theme.title, "Drainage \"Class\" | wet") << "drawn under its whole title";
    EXPECT_EQ(theme.values[0].text(), "Well drained");
    EXPECT_TRUE(theme.values[2].isNull());
    EXPECT_EQ(theme.legend.entries()[theme.entryOf[1]].label, "Poorly drained");
    EXPECT_EQ(theme.legend.entries()[theme.entryOf[2]].label, "Not rated");
    EXPECT_EQ(m_doc.tableOfContents().front().title, "Drainage \"Class\" | wet");
    EXPECT_EQ(m_doc.activeRow(), 0u);
    EXPECT_EQ(m_doc.enableValue(), "Y");

    // The same title again replaces the theme; another title adds one on top.
    ASSERT_TRUE(m_doc.execute(display("drclass|Drainage \"Class\" | wet|DYNAMIC")).accepted);
    ASSERT_TRUE(m_doc.execute(display("ph|pH - Weighted Average|" QUILLON_SOURCE_DIR "/data/legends/ph.avl")).accepted);
    ASSERT_EQ(m_doc.ratingThemes().size(), 2u);
    EXPECT_EQ(m_doc.tableOfContents()[0].title, "pH - Weighted Average");
    EXPECT_EQ(m_doc.tableOfContents()[2].title, "squares");

    EXPECT_TRUE(m_doc.execute(kCleanup).accepted);
    EXPECT_TRUE(m_doc.ratingThemes().empty());
    EXPECT_EQ(m_doc.activeRow(), 0u) << "the soils theme takes over";
    EXPECT_EQ(m_doc.enableValue(), "Y");
    EXPECT_TRUE(m_doc.execute(kCleanup).accepted) << "nothing to clean is fine";
}

// The line the map prints for each theme it draws: every legend entry in legend order with
// the polygons it colours, so a script can compare the classes with the column.
TEST_F(MapDocumentTest, ThemeSummaryCountsThePolygonsOfEachLegendEntry)
{
    ASSERT_TRUE(m_doc.execute(display("drclass|Drainage|DYNAMIC")).accepted);
    EXPECT_EQ(themeSummary(m_doc.ratingThemes().back()),
              "\"Drainage\" from drclass: Poorly drained (2); Well drained (2); Not rated (2)");
    // Entries of a legend file that colour nothing are listed with 0; ratings outside the
    // file's classes are counted under the entry added for them.
    ASSERT_TRUE(
        m_doc.execute(display("ph|pH as classes|" QUILLON_SOURCE_DIR "/data/legends/drainage_class.avl")).accepted);
    const std::string summary = themeSummary(m_doc.ratingThemes().back());
    EXPECT_EQ(summary.rfind("\"pH as classes\" from ph: Excessively drained (0); ", 0), 0u) << summary;
    EXPECT_NE(summary.find("; Not rated (1); Other values (5)"), std::string::npos) << summary;

    // The same theme as JSON, for a GIS that draws it itself: the entries with their counts,
    // bounds open as null, and each map unit's rating (Null as null, numbers as decimals).
    ASSERT_TRUE(m_doc.execute(display("ph|pH|" QUILLON_SOURCE_DIR "/data/legends/ph.avl")).accepted);
    const RatingTheme& ph = m_doc.ratingThemes().back();
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(themeJson(ph))).object();
    EXPECT_EQ(json["summary"].toString().toStdString(), themeSummary(ph));
    EXPECT_EQ(json["column"].toString(), "ph");
    const QJsonArray entries = json["entries"].toArray();
    ASSERT_EQ(entries.size(), static_cast<qsizetype>(ph.legend.entries().size()));
    const QJsonObject first = entries[0].toObject(), fourth = entries[3].toObject(), last = entries[5].toObject();
    EXPECT_EQ(first["kind"].toString(), "range");
    EXPECT_TRUE(first["low"].isNull());
    EXPECT_EQ(first["high"].toDouble(), 4.5);
    EXPECT_EQ(fourth["low"].toDouble(), 6.6);
    EXPECT_EQ(fourth["colour"].toString(), "#d9ef8b");
    EXPECT_TRUE(last["high"].isNull());
    int counted = 0;
    for (const auto& e : entries)
        counted += e.toObject()["count"].toInt();
    EXPECT_EQ(counted, 6);
    const QJsonObject values = json["values"].toObject();
    EXPECT_TRUE(values["k1"].isNull());
    EXPECT_EQ(values["k2"].toArray()[0].toString(), "6");
    EXPECT_EQ(values["k2"].toArray()[1].toDouble(), 6.0);
}

TEST_F(MapDocumentTest, RefusalsSayWhyAndChangeNothing)
{
    ASSERT_TRUE(m_doc.execute(display("ph|pH|DYNAMIC")).accepted);
    const auto toc = m_doc.tableOfContents().size();

    auto reply = m_doc.execute(display("nosuch|No such|DYNAMIC"));
    EXPECT_FALSE(reply.accepted);
    EXPECT_NE(reply.reason.find("The column nosuch is not in MU_Data"), std::string::npos) << reply.reason;

    reply = m_doc.execute(display("ph|pH again|/nowhere/ph.avl"));
    EXPECT_FALSE(reply.accepted);
    EXPECT_NE(reply.reason.find("/nowhere/ph.avl"), std::string::npos);

    reply = m_doc.execute(display("ph|two fields"));
    EXPECT_FALSE(reply.accepted);

    reply = m_doc.execute("av.run(\"Quillon.Other\", \"\" )");
    EXPECT_EQ(reply.reason, "Unknown script Quillon.Other");

    m_results = m_temp / "gone.sqlite";
    reply = m_doc.execute(display("ph|pH 2|DYNAMIC"));
    EXPECT_NE(reply.reason.find("gone.sqlite does not exist"), std::string::npos);
    m_results.reset();
    reply = m_doc.execute(display("ph|pH 2|DYNAMIC"));
    EXPECT_NE(reply.reason.find("No results database"), std::string::npos);

    EXPECT_EQ(m_doc.tableOfContents().size(), toc);
    EXPECT_EQ(m_doc.ratingThemes()[0].title, "pH");
}

TEST_F(MapDocumentTest, EnableValueFollowsTheActiveTheme)
{
    m_doc.addSoilsTheme(m_shp);  // a second soils theme, now active
    EXPECT_EQ(m_doc.enableValue(), "N") << "not the theme the viewer works with";
    m_doc.setActiveRow(0);
    EXPECT_EQ(m_doc.enableValue(), "Y");
    ASSERT_TRUE(m_doc.execute(display("ph|pH|DYNAMIC")).accepted);
    EXPECT_EQ(m_doc.enableValue(), "Y") << "a rating theme of the linked soils theme";
    m_doc.setActiveRow(std::nullopt);
    EXPECT_EQ(m_doc.enableValue(), "N");
    m_doc.setActiveRow(99);
    EXPECT_EQ(m_doc.activeRow(), std::nullopt);
}

TEST_F(MapDocumentTest, RenderColoursEachUnitByItsClass)
{
    guiApp();  // the legend's text needs fonts
    ASSERT_TRUE(m_doc.execute(display("drclass|Drainage|DYNAMIC")).accepted);
    const RatingTheme& theme = m_doc.ratingThemes()[0];
    const MapView view {QRectF(0, 0, 6, 1), QSize(600, 100)};
    const QImage image = render({theme.layer, themeColours(theme), view});
    ASSERT_EQ(image.size(), QSize(600, 100));
    const QTransform t = viewTransform(view);
    for (std::size_t s = 1; s < 6; ++s) {
        const QPoint p = t.map(QPointF(s + 0.5, 0.5)).toPoint();
        EXPECT_EQ(image.pixelColor(p), theme.legend.entries()[theme.entryOf[s]].colour) << "shape " << s;
    }
    EXPECT_EQ(image.pixelColor(t.map(QPointF(0.5, 0.5)).toPoint()), QColor(Qt::white)) << "the hole stays empty";

    std::atomic<bool> cancel {true};
    EXPECT_TRUE(render({theme.layer, {}, view}, &cancel).isNull());

    const QImage exported = withLegend(image, &theme);
    EXPECT_EQ(exported.width(), 900);
    EXPECT_GE(exported.height(), 100);
}

TEST(ResultsLocation, FromTheViewerSettings)
{
    qln::test::TempFolder temp;
    qln::registry::Store store(temp / "registry");
    EXPECT_EQ(resultsFromSettings(store), std::nullopt);
    const char* key = "Software\\Kelvaro\\Quillon 2000";
    store.setString(qln::registry::Hive::LocalMachine, key, "InstalledDrive", "/opt");
    store.setString(qln::registry::Hive::LocalMachine, key, "SoilsPath", "/quillon");
    store.setString(qln::registry::Hive::LocalMachine, key, "OutputDBPath", "/results");
    store.setString(qln::registry::Hive::LocalMachine, key, "OutputDBFile", "work.sqlite");
    EXPECT_EQ(resultsFromSettings(store), std::filesystem::path("/opt/quillon/results/work.sqlite"));

    writeEnableValue(store, "N");
    EXPECT_EQ(store.getValue(qln::registry::Hive::LocalMachine, key, "EnableQLNDialog")->text, "N");
}
