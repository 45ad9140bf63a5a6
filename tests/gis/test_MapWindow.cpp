// The companion's window driven as the viewer drives it: a rating column written by
// quillon-rate into the results database is drawn as a theme with a legend, identified,
// exported and cleaned up; the viewer hears DISABLECONTROLS, ENABLECONTROLS and EXIT.
#include "MapWindow.h"

#include "quillon/dde/QtDde.h"
#include "quillon/desktop/MessageBox.h"
#include "quillon/gis/MapRenderer.h"
#include "quillon/registry/Registry.h"

#include "../support/SqliteFile.h"
#include "../support/DdeFolder.h"
#include "../support/EventLoop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QAction>
#include <QListWidget>
#include <QStatusBar>
#include <QTest>

#include <atomic>
#include <cmath>
#include <regex>
#include <mutex>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
using qln::test::waitFor;

namespace {

const std::filesystem::path kShare = QUILLON_SHARE;

QApplication& app()
{
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own statics (the pointing device of simulated clicks) outlive it.
    static auto* instance = new QApplication(argc, argv);
    return *instance;
}

std::string run(const std::string& command)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
        out.append(buf, n);
    ::pclose(pipe);
    return out;
}

// The sample is in longitude and latitude. Its polygons must be drawn with the shape of
// their ground (the WGS 84 ellipsoid's east-west and north-south lengths at the middle
// latitude, within 2 %), and the image's world file, as gdalinfo reads it, must put the
// drawn polygons where the layer's extent lies (within two pixels).
void expectPlacedWithItsGroundShape(const std::filesystem::path& png, const QImage& image, int mapWidth,
                                    const QRectF& extent)
{
    const std::string info = run("gdalinfo -json '" + png.string() + "' 2>&1");
    if (info.find("\"geoTransform\"") == std::string::npos && info.find("not found") != std::string::npos) {
        if (std::getenv("CI"))
            ADD_FAILURE() << "gdalinfo (gdal-bin) is not installed";
        return;
    }
    std::smatch m;
    const std::string number = "\\s*(-?[0-9.eE+-]+)\\s*";
    ASSERT_TRUE(std::regex_search(info, m, std::regex("\"geoTransform\":\\s*\\[" + number + "," + number + "," +
                                                      number + "," + number + "," + number + "," + number + "\\]")))
        << "no georeference: " << info;
    const double x0 = std::stod(m[1]), dx = std::stod(m[2]), y0 = std::stod(m[4]), dy = std::stod(m[6]);
    EXPECT_EQ(std::stod(m[3]), 0);
    EXPECT_EQ(std::stod(m[5]), 0);

    int left = mapWidth, right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < mapWidth; ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, left) << "nothing drawn";
    EXPECT_NEAR(x0 + left * dx, extent.left(), 2 * dx);
    EXPECT_NEAR(x0 + (right + 1) * dx, extent.right(), 2 * dx);
    EXPECT_NEAR(y0 + top * dy, extent.bottom(), 2 * -dy) << "north at the top";
    EXPECT_NEAR(y0 + (bottom + 1) * dy, extent.top(), 2 * -dy);

    const double a = 6378137, f = 1 / 298.257223563, e2 = f * (2 - f);
    const double phi = extent.center().y() * M_PI / 180, s = std::sin(phi);
    const double east = a / std::sqrt(1 - e2 * s * s) * std::cos(phi) * extent.width() * M_PI / 180;
    const double north = a * (1 - e2) / std::pow(1 - e2 * s * s, 1.5) * extent.height() * M_PI / 180;
    const double drawn = double(right + 1 - left) / double(bottom + 1 - top);
    EXPECT_NEAR(drawn / (east / north), 1, 0.02) << "drawn " << drawn << ", ground " << east / north;
}

std::string sqlText(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// Executes a command on ArcView|System from another thread, as the viewer does, while this
// thread keeps the window's event loop running.
qln::dde::Reply executeOnMap(const std::string& command)
{
    qln::dde::Reply reply;
    std::string error;
    bool done = false;
    std::thread viewer([&] {
        try {
            qln::dde::Conversation conversation("ArcView", "System", 20000ms);
            reply = conversation.execute(command);
        } catch (const std::exception& e) {
            error = e.what();
        }
        done = true;
    });
    waitFor([&] { return done; }, 30000);
    viewer.join();
    EXPECT_EQ(error, "");
    return reply;
}

std::string display(const std::string& argument)
{
    return "av.run(\"Quillon.DisplayInterps\", \"" + argument + "\" )";
}

class MapWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(kShare / "sample" / "sample_soils.shp")) {
            if (std::getenv("CI"))
                FAIL() << "the bundled sample is missing: " << kShare;
            GTEST_SKIP() << "the bundled sample is not built (target quillon-data): " << kShare;
        }
        app();
        qln::test::usePrivateDdeFolder(m_temp);
        ::setenv("XDG_RUNTIME_DIR", m_temp.path().c_str(), 1);

        // The rating the viewer would store: quillon-rate's column in a copy of the results database.
        const std::string csv = run(std::string(QUILLON_RATE) + " --soils " + (kShare / "sample" / "sample.sqlite").string() +
                                    " --rules " + (kShare / "quillon-rules.sqlite").string() +
                                    " --attribute WAT_DRAIN --format csv");
        std::istringstream lines(csv);
        std::string line;
        std::getline(lines, line);
        ASSERT_EQ(line.substr(0, 23), "musym,mukey,DRAIN_DC,co") << csv;
        m_results = m_temp / "results.sqlite";
        std::filesystem::copy_file(kShare / "quillon-results.sqlite", m_results);
        std::string sql = "ALTER TABLE MU_Data ADD DRAIN_DC TEXT";
        while (std::getline(lines, line)) {
            std::vector<std::string> f;
            std::stringstream cells(line);
            for (std::string c; std::getline(cells, c, ',');)
                f.push_back(c);
            ASSERT_GE(f.size(), 3u) << line;
            sql += "; INSERT INTO MU_Data (mukey, musym, DRAIN_DC) VALUES (" + sqlText(f[1]) + ", " + sqlText(f[0]) +
                   ", " + (f[2].empty() ? std::string("NULL") : sqlText(f[2])) + ")";
            m_values.insert(f[2]);
        }
        qln::test::runSql(m_results, sql);
        ASSERT_GT(m_values.size(), 2u);

        // The viewer's topic, served on a thread of its own as another process would.
        m_viewer = std::make_unique<qln::dde::Server>("Quillon", "messageToVB", [this](const std::string& c) {
            std::lock_guard lock(m_mutex);
            m_viewerHeard.push_back(c);
            return qln::dde::Reply::ack();
        });
        m_viewerThread = std::thread([this] {
            while (!m_stop)
                m_viewer->serveFor(10ms);
        });
        m_window = std::make_unique<MapWindow>(MapOptions {"/nonexistent/quillon", m_results});
        m_window->show();
        ASSERT_TRUE(m_window->openSoilsTheme(QString::fromStdString((kShare / "sample" / "sample_soils.shp").string())));
        ASSERT_TRUE(waitFor([&] { return !m_window->canvas().drawing() && !m_window->canvas().image().isNull(); }));
        // The first drawing's notices have reached the viewer.
        ASSERT_TRUE(waitFor([&] { return !heard().empty() && heard().back() == "ENABLECONTROLS"; }));
    }

    void TearDown() override
    {
        m_window.reset();
        m_stop = true;
        if (m_viewerThread.joinable())
            m_viewerThread.join();
    }

    std::vector<std::string> heard()
    {
        std::lock_guard lock(m_mutex);
        return m_viewerHeard;
    }

    void forget()
    {
        std::lock_guard lock(m_mutex);
        m_viewerHeard.clear();
    }

    std::string enableValue() const
    {
        qln::registry::Store store = qln::registry::Store::fromEnvironment();
        const auto v = store.getValue(qln::registry::Hive::LocalMachine, "Software\\Kelvaro\\Quillon 2000", "EnableQLNDialog");
        return v ? v->text : "(none)";
    }

    QStringList rows(const char* list) const
    {
        QStringList out;
        auto* w = m_window->findChild<QListWidget*>(list);
        for (int i = 0; w && i < w->count(); ++i)
            out << w->item(i)->text();
        return out;
    }

    qln::test::TempFolder m_temp;
    std::filesystem::path m_results;
    std::set<std::string> m_values;
    std::mutex m_mutex;
    std::vector<std::string> m_viewerHeard;
    std::unique_ptr<qln::dde::Server> m_viewer;
    std::atomic<bool> m_stop {false};
    std::thread m_viewerThread;
    std::unique_ptr<MapWindow> m_window;
};

} // namespace

TEST_F(MapWindowTest, DisplaysIdentifiesExportsAndCleansUp)
{
    EXPECT_EQ(m_window->windowTitle().left(11), "ArcView GIS");
    EXPECT_EQ(enableValue(), "Y");
    forget();

    const std::string title = "Drainage \"Class\" | wet - Dominant Condition";
    const auto reply = executeOnMap(display("DRAIN_DC|" + title + "|DYNAMIC"));
    ASSERT_TRUE(reply.accepted) << reply.reason;
    ASSERT_TRUE(waitFor([&] { return !m_window->canvas().drawing() && heard().size() >= 2; }));
    EXPECT_EQ(heard().front(), "DISABLECONTROLS");
    EXPECT_EQ(heard().back(), "ENABLECONTROLS");
    EXPECT_EQ(rows("lstThemes"), (QStringList {QString::fromStdString(title), "sample_soils"}));
    EXPECT_EQ(m_window->findChild<QListWidget*>("lstThemes")->currentRow(), 0);
    EXPECT_EQ(enableValue(), "Y");

    // The legend's classes are the column's values (and "Not rated" for units without one).
    QStringList legend = rows("lstLegend");
    ASSERT_FALSE(legend.isEmpty());
    EXPECT_EQ(legend.takeFirst(), QString::fromStdString(title));
    std::set<std::string> classes;
    for (const auto& l : legend)
        if (l != "Not rated")
            classes.insert(l.toStdString());
    std::set<std::string> values = m_values;
    values.erase("");
    EXPECT_EQ(classes, values);
    EXPECT_TRUE(legend.contains("Not rated")) << "the shapefile has units without a rating";

    // Identify a polygon: its symbol, key and rating.
    const auto& theme = m_window->document().ratingThemes().at(0);
    const auto& layer = *theme.layer;
    std::size_t shape = 0;
    QPointF inside;
    for (; shape < layer.size(); ++shape) {
        inside = layer.bounds(shape).center();
        if (layer.shapeAt(inside) == shape && !theme.values[shape].isMissing())
            break;
    }
    ASSERT_LT(shape, layer.size());
    const QTransform t = qln::gis::viewTransform(m_window->canvas().view());
    QTest::mouseClick(&m_window->canvas(), Qt::LeftButton, {}, t.map(inside).toPoint());
    const QString identified = m_window->identifyText();
    EXPECT_TRUE(identified.contains("musym: " + QString::fromStdString(layer.musym(shape)))) << identified.toStdString();
    EXPECT_TRUE(identified.contains(QString::fromStdString(title + ": " + theme.values[shape].text())))
        << identified.toStdString();

    // The bundled legend file: every value has its class.
    ASSERT_TRUE(executeOnMap(display("DRAIN_DC|Drainage Class|" + (kShare / "legends" / "drainage_class.avl").string())).accepted);
    EXPECT_FALSE(rows("lstLegend").contains("Other values"));

    ASSERT_TRUE(waitFor([&] { return !m_window->canvas().drawing(); }));
    const auto png = m_temp / "map.png";
    ASSERT_TRUE(m_window->exportPng(QString::fromStdString(png.string())));
    const QImage exported(QString::fromStdString(png.string()));
    EXPECT_EQ(exported.width(), m_window->canvas().image().width() + 300) << "the map with its legend";
    expectPlacedWithItsGroundShape(png, exported, m_window->canvas().image().width(), layer.extent());

    ASSERT_TRUE(executeOnMap("av.run(\"Quillon.InterpsCleanup\", \"\" )").accepted);
    EXPECT_EQ(rows("lstThemes"), QStringList {"sample_soils"});
    EXPECT_TRUE(rows("lstLegend").isEmpty());
}

TEST_F(MapWindowTest, FailuresLeaveTheMapAsItWas)
{
    ASSERT_TRUE(executeOnMap(display("DRAIN_DC|Drainage|DYNAMIC")).accepted);
    const QStringList themes = rows("lstThemes");

    const auto refused = executeOnMap(display("NO_SUCH|Missing|DYNAMIC"));
    EXPECT_FALSE(refused.accepted);
    EXPECT_NE(refused.reason.find("The column NO_SUCH is not in MU_Data"), std::string::npos) << refused.reason;
    EXPECT_EQ(rows("lstThemes"), themes);

    qln::desktop::MessageBoxSeam boxes;
    std::ofstream(m_temp / "broken.shp") << "broken";
    EXPECT_FALSE(m_window->openSoilsTheme(QString::fromStdString((m_temp / "broken.shp").string())));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_NE(boxes.shown()[0].text.find("broken.shp"), std::string::npos);
    EXPECT_EQ(rows("lstThemes"), themes);

    // Another soils theme made active is not the viewer's: the viewer is told to wait.
    ASSERT_TRUE(m_window->openSoilsTheme(QString::fromStdString((kShare / "sample" / "sample_soils.shp").string())));
    EXPECT_EQ(enableValue(), "N");
    // Start Quillon starts no second viewer, and says why the running one takes no input.
    auto* start = m_window->findChild<QAction*>("cmdStartViewer");
    ASSERT_NE(start, nullptr);
    ASSERT_TRUE(waitFor([&] { return !m_window->canvas().drawing(); }));
    start->trigger();
    EXPECT_NE(m_window->statusBar()->currentMessage().indexOf("Quillon is already running, disabled"), -1)
        << m_window->statusBar()->currentMessage().toStdString();
    ASSERT_TRUE(waitFor([&] { return !heard().empty() && heard().back() == "SETFOCUS"; }));
    m_window->findChild<QListWidget*>("lstThemes")->setCurrentRow(0);
    EXPECT_EQ(enableValue(), "Y");
    ASSERT_TRUE(waitFor([&] { return !m_window->canvas().drawing(); }));
    start->trigger();
    EXPECT_EQ(m_window->statusBar()->currentMessage(), "Quillon is already running; it was brought to the front.");

    // Closing the companion closes the viewer.
    forget();
    m_window->close();
    ASSERT_TRUE(waitFor([&] { return !heard().empty(); }));
    EXPECT_EQ(heard().back(), "EXIT");

    // The picture never replaces a file the map shows.
    for (const char* ext : {".shp", ".shx", ".dbf"})
        std::filesystem::copy_file(kShare / "sample" / (std::string("sample_soils") + ext),
                                   m_temp / (std::string("shown") + ext));
    ASSERT_TRUE(m_window->openSoilsTheme(QString::fromStdString((m_temp / "shown.shp").string())));
    const auto size = std::filesystem::file_size(m_temp / "shown.dbf");
    EXPECT_FALSE(m_window->exportPng(QString::fromStdString((m_temp / "shown.dbf").string())));
    EXPECT_EQ(std::filesystem::file_size(m_temp / "shown.dbf"), size);
    EXPECT_NE(boxes.shown().back().text.find("is the same file as the input"), std::string::npos) << boxes.shown().back().text;
}

TEST_F(MapWindowTest, ConvertsTheActiveThemeToAPermanentShapefile)
{
    const std::string title = "Drainage \"Class\" | wet";
    ASSERT_TRUE(executeOnMap(display("DRAIN_DC|" + title + "|DYNAMIC")).accepted);
    const QStringList legend = rows("lstLegend");
    auto* convert = m_window->findChild<QAction*>("actConvertToShapefile");
    ASSERT_NE(convert, nullptr);
    EXPECT_TRUE(convert->isEnabled());
    EXPECT_EQ(m_window->defaultShapefileName().toStdString(),
              (kShare / "sample" / "Drainage _Class_ _ wet.shp").string());

    qln::desktop::MessageBoxSeam boxes;
    const auto target = m_temp / "drainage";  // ".shp" is added
    ASSERT_TRUE(m_window->convertActiveTheme(QString::fromStdString(target.string())));
    EXPECT_TRUE(boxes.shown().empty()) << "a new name asks nothing";
    EXPECT_EQ(rows("lstThemes"), (QStringList {"drainage.shp", QString::fromStdString(title), "sample_soils"}));

    // The converted theme shows the same legend and its own properties, and outlives the clean-up.
    m_window->findChild<QListWidget*>("lstThemes")->setCurrentRow(0);
    QStringList converted = rows("lstLegend");
    EXPECT_EQ(converted.takeFirst(), "drainage.shp");
    EXPECT_EQ(converted, legend.mid(1));
    const QString properties = m_window->themeProperties();
    EXPECT_TRUE(properties.contains(QString::fromStdString((m_temp / "drainage.shp").string()))) << properties.toStdString();
    EXPECT_TRUE(properties.contains("Fields: MUKEY, MUSYM, DRAIN_DC")) << properties.toStdString();
    EXPECT_TRUE(properties.contains("GEOGCS[")) << "the .prj copied and shown: " << properties.toStdString();
    ASSERT_TRUE(executeOnMap("av.run(\"Quillon.InterpsCleanup\", \"\" )").accepted);
    EXPECT_EQ(rows("lstThemes"), (QStringList {"drainage.shp", "sample_soils"}));
    EXPECT_TRUE(convert->isEnabled()) << "the converted theme is active and may be written again";

    // The same name again: asked first; No keeps the file, Yes replaces it.
    ASSERT_TRUE(executeOnMap(display("DRAIN_DC|" + title + "|DYNAMIC")).accepted);
    const auto written = std::filesystem::last_write_time(m_temp / "drainage.dbf");
    boxes.answer(qln::desktop::Button::No);
    EXPECT_FALSE(m_window->convertActiveTheme(QString::fromStdString((m_temp / "drainage.shp").string())));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_NE(boxes.shown()[0].text.find("drainage.shp already exists.  Do you want to replace it?"), std::string::npos);
    EXPECT_EQ(boxes.shown()[0].buttons, qln::desktop::Buttons::YesNo);
    EXPECT_EQ(std::filesystem::last_write_time(m_temp / "drainage.dbf"), written);
    boxes.answer(qln::desktop::Button::Yes);
    EXPECT_TRUE(m_window->convertActiveTheme(QString::fromStdString((m_temp / "drainage.shp").string())));
    EXPECT_EQ(rows("lstThemes"), (QStringList {"drainage.shp", QString::fromStdString(title), "sample_soils"}))
        << "the replaced file's theme is replaced, not doubled";

    // A folder that cannot be written: a clear message, nothing added.
    std::ofstream(m_temp / "plain") << "a file";
    EXPECT_FALSE(m_window->convertActiveTheme(QString::fromStdString((m_temp / "plain" / "x.shp").string())));
    EXPECT_NE(boxes.shown().back().text.find("The folder " + (m_temp / "plain").string() + " does not exist"),
              std::string::npos) << boxes.shown().back().text;
    EXPECT_EQ(rows("lstThemes").size(), 3);

    // The soils theme itself cannot be converted.
    m_window->findChild<QListWidget*>("lstThemes")->setCurrentRow(2);
    EXPECT_FALSE(convert->isEnabled());
}
