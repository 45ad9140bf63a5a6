#pragma once

// The companion's main window: the map, a table of contents with one active theme, the
// legend of the active rating theme, identify results, and the link with the viewer.

#include "MapCanvas.h"
#include "ViewerLink.h"

#include "quillon/dde/QtDde.h"
#include "quillon/gis/MapDocument.h"

#include <QMainWindow>

#include <memory>
#include <optional>

class QListWidget;
class QTextBrowser;
class QLabel;

namespace qln::desktop { class WindowPublisher; }
namespace qln::registry { class Store; }

struct MapOptions {
    QString viewerProgram;
    std::optional<std::filesystem::path> results;  // else the viewer's settings say
    bool verbose = false;  // each script call's outcome on standard output
};

class MapWindow : public QMainWindow {
public:
    // Throws DdeError when another companion already serves ArcView|System.
    explicit MapWindow(MapOptions options, QWidget* parent = nullptr);
    ~MapWindow() override;

    // Adds a soils theme; a message names what went wrong and the map stays as it was.
    bool openSoilsTheme(const QString& shp);
    // Writes the map and the active theme's legend to a PNG file, and beside it its world
    // file (.pgw) placing the map in the layer's coordinates (the legend lies east of it).
    bool exportPng(const QString& file);
    // Starts the viewer on the active soils theme, or brings a running one forward.
    void startViewer();
    // Writes the active rating theme to the shapefile `file` (".shp" added when missing) and
    // adds it as a permanent theme; asks before replacing a shapefile of that name. A message
    // says what went wrong and the map stays as it was.
    bool convertActiveTheme(const QString& file);
    // The save dialog's first proposal: the theme's title made a file name, in the folder of
    // the shapefile it is drawn on.
    QString defaultShapefileName() const;
    // What the properties of the active theme show: its file, shapes, fields, code page and
    // coordinate system (.prj).
    QString themeProperties() const;

    const qln::gis::MapDocument& document() const { return m_document; }
    MapCanvas& canvas() { return *m_canvas; }
    QString identifyText() const;

protected:
    void closeEvent(QCloseEvent*) override;

private:
    qln::dde::Reply execute(const std::string& command);
    void themesChanged(bool resetExtent);
    void activeChanged();
    void showLegend();
    void identify(QPointF at);
    void writeEnableValue();
    void error(const QString& text);
    const qln::gis::RatingTheme* activeRatingTheme() const;
    std::shared_ptr<const qln::gis::SoilsLayer> activeLayer() const;

    MapOptions m_options;
    qln::gis::MapDocument m_document;
    std::unique_ptr<qln::registry::Store> m_registry;
    MapCanvas* m_canvas;
    QListWidget* m_toc;
    QListWidget* m_legend;
    QTextBrowser* m_identify;
    ViewerLink* m_viewer;
    QAction* m_convert = nullptr;
    QAction* m_properties = nullptr;
    std::unique_ptr<qln::dde::QtServer> m_server;
    std::unique_ptr<qln::desktop::WindowPublisher> m_publisher;
    std::string m_writtenEnable;
    bool m_filling = false;
};
