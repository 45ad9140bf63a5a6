#include "MapWindow.h"

#include "quillon/desktop/MessageBox.h"
#include "quillon/desktop/QtDesktop.h"
#include "quillon/gis/GisError.h"
#include "quillon/gis/MapRenderer.h"
#include "quillon/gis/ResultsLocation.h"
#include "quillon/registry/Registry.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

#include <iostream>

using qln::gis::MapDocument;

namespace {

QIcon swatch(const QColor& colour)
{
    QPixmap pixmap(24, 14);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0x55, 0x55, 0x55));
    painter.drawRect(0, 0, 23, 13);
    return QIcon(pixmap);
}

} // namespace

MapWindow::MapWindow(MapOptions options, QWidget* parent)
    : QMainWindow(parent)
    , m_options(std::move(options))
    , m_document([this]() -> std::optional<std::filesystem::path> {
        if (m_options.results)
            return m_options.results;
        return qln::gis::resultsFromSettings(*m_registry);
    })
    , m_registry(std::make_unique<qln::registry::Store>(qln::registry::Store::fromEnvironment()))
{
    setObjectName("frmMap");
    setWindowTitle("ArcView GIS - Quillon Map");
    resize(1200, 800);

    m_canvas = new MapCanvas(this);
    setCentralWidget(m_canvas);

    m_toc = new QListWidget;
    m_toc->setObjectName("lstThemes");
    m_legend = new QListWidget;
    m_legend->setObjectName("lstLegend");
    m_legend->setSelectionMode(QAbstractItemView::NoSelection);
    m_identify = new QTextBrowser;
    m_identify->setObjectName("txtIdentify");
    const auto dock = [this](const char* title, QWidget* content, Qt::DockWidgetArea area) {
        auto* d = new QDockWidget(tr(title), this);
        d->setObjectName(QString(title).remove(' '));
        d->setWidget(content);
        d->setFeatures(QDockWidget::NoDockWidgetFeatures);
        addDockWidget(area, d);
    };
    dock("Themes", m_toc, Qt::LeftDockWidgetArea);
    dock("Legend", m_legend, Qt::LeftDockWidgetArea);
    dock("Identify", m_identify, Qt::RightDockWidgetArea);

    m_viewer = new ViewerLink(m_options.viewerProgram, this);
    connect(m_viewer, &ViewerLink::failed, this, [this](const QString& e) { statusBar()->showMessage(e); });

    auto* file = menuBar()->addMenu(tr("&File"));
    auto* view = menuBar()->addMenu(tr("&View"));
    auto* quillon = menuBar()->addMenu(tr("&Quillon"));
    auto* tools = addToolBar(tr("Tools"));
    tools->setObjectName("tbTools");
    const auto action = [&](QMenu* menu, const char* name, const QString& text, auto slot, bool onToolbar) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
        menu->addAction(a);
        if (onToolbar)
            tools->addAction(a);
        return a;
    };
    action(file, "actOpen", tr("&Add Soils Theme..."), [this] {
        const QString shp = QFileDialog::getOpenFileName(this, tr("Add Soils Theme"), {}, tr("Shapefiles (*.shp)"));
        if (!shp.isEmpty())
            openSoilsTheme(shp);
    }, true);
    action(file, "actExport", tr("&Export Map as PNG..."), [this] {
        const QString png = QFileDialog::getSaveFileName(this, tr("Export Map"), {}, tr("PNG images (*.png)"));
        if (!png.isEmpty())
            exportPng(png);
    }, false);
    file->addSeparator();
    action(file, "actExit", tr("E&xit"), [this] { close(); }, false);
    action(view, "actFullExtent", tr("&Full Extent"), [this] { m_canvas->fullExtent(); }, true);
    action(view, "actZoomIn", tr("Zoom &In"), [this] { m_canvas->zoomIn(); }, true);
    action(view, "actZoomOut", tr("Zoom &Out"), [this] { m_canvas->zoomOut(); }, true);
    tools->addSeparator();
    action(quillon, "cmdStartViewer", tr("Start &Quillon"), [this] { startViewer(); }, true);

    connect(m_toc, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_filling)
            return;
        m_document.setActiveRow(row < 0 ? std::nullopt : std::optional<std::size_t>(static_cast<std::size_t>(row)));
        activeChanged();
    });
    connect(m_canvas, &MapCanvas::identifyAt, this, &MapWindow::identify);
    connect(m_canvas, &MapCanvas::drawingStarted, this, [this] {
        statusBar()->showMessage(tr("Drawing..."));
        m_viewer->send("DISABLECONTROLS");
    });
    connect(m_canvas, &MapCanvas::drawingFinished, this, [this] {
        statusBar()->clearMessage();
        m_viewer->send("ENABLECONTROLS");
    });

    m_server = std::make_unique<qln::dde::QtServer>("ArcView", "System",
                                                    [this](const std::string& c) { return execute(c); });
    try {
        m_publisher = std::make_unique<qln::desktop::WindowPublisher>(this);
    } catch (const std::exception& e) {
        statusBar()->showMessage(QString::fromStdString(e.what()));
    }
}

MapWindow::~MapWindow() = default;

bool MapWindow::openSoilsTheme(const QString& shp)
{
    try {
        m_document.addSoilsTheme(shp.toStdString());
    } catch (const qln::gis::GisError& e) {
        error(QString::fromStdString(e.what()));
        return false;
    }
    themesChanged(m_document.soilsThemes().size() == 1);
    return true;
}

qln::dde::Reply MapWindow::execute(const std::string& command)
{
    const std::size_t before = m_document.ratingThemes().size();
    const qln::dde::Reply reply = m_document.execute(command);
    if (reply.accepted)
        themesChanged(false);
    else
        statusBar()->showMessage(QString::fromStdString(reply.reason));
    if (m_options.verbose) {
        const auto& themes = m_document.ratingThemes();
        if (!reply.accepted)
            std::cout << "refused: " << reply.reason << std::endl;
        else if (themes.size() < before || themes.empty())
            std::cout << "removed " << before << " rating theme(s)" << std::endl;
        else
            std::cout << "shown: " << qln::gis::themeSummary(themes.back()) << std::endl;
    }
    return reply;
}

void MapWindow::themesChanged(bool resetExtent)
{
    m_filling = true;
    m_toc->clear();
    for (const auto& entry : m_document.tableOfContents()) {
        auto* item = new QListWidgetItem(QString::fromStdString(entry.title), m_toc);
        item->setToolTip(entry.rating ? tr("Rating theme") : tr("Soils theme"));
        if (!entry.rating) {
            QFont font = item->font();
            font.setItalic(true);
            item->setFont(font);
        }
    }
    if (const auto row = m_document.activeRow())
        m_toc->setCurrentRow(static_cast<int>(*row));
    m_filling = false;
    activeChanged();
    if (resetExtent)
        m_canvas->fullExtent();
}

void MapWindow::activeChanged()
{
    const auto toc = m_document.tableOfContents();
    std::shared_ptr<const qln::gis::SoilsLayer> layer;
    std::vector<QColor> fill;
    if (const auto row = m_document.activeRow()) {
        const auto& entry = toc[*row];
        if (entry.rating) {
            const auto& theme = m_document.ratingThemes()[entry.index];
            layer = theme.layer;
            fill = qln::gis::themeColours(theme);
        } else {
            layer = m_document.soilsThemes()[entry.index];
        }
    } else if (const auto linked = m_document.linkedSoilsTheme()) {
        layer = m_document.soilsThemes()[*linked];
    }
    const bool first = m_canvas->extent().isNull();
    m_canvas->setContent(layer, std::move(fill), first);
    showLegend();
    writeEnableValue();
}

void MapWindow::showLegend()
{
    m_legend->clear();
    const auto row = m_document.activeRow();
    if (!row)
        return;
    const auto entry = m_document.tableOfContents()[*row];
    if (!entry.rating)
        return;
    const auto& theme = m_document.ratingThemes()[entry.index];
    auto* heading = new QListWidgetItem(QString::fromStdString(theme.title), m_legend);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    for (const auto& e : theme.legend.entries())
        new QListWidgetItem(swatch(e.colour), QString::fromStdString(e.label), m_legend);
}

void MapWindow::identify(QPointF at)
{
    const auto linked = m_document.linkedSoilsTheme();
    if (!linked) {
        m_identify->clear();
        return;
    }
    const auto& layer = *m_document.soilsThemes()[*linked];
    const auto shape = layer.shapeAt(at);
    if (!shape) {
        m_identify->setPlainText(tr("No map unit here."));
        return;
    }
    QString text = "musym: " + QString::fromStdString(layer.musym(*shape)) + "\nmukey: " +
                   QString::fromStdString(layer.mukey(*shape));
    for (const auto& theme : m_document.ratingThemes()) {
        const qln::Variant& v = theme.values[*shape];
        text += "\n" + QString::fromStdString(theme.title) + ": " +
                (v.isMissing() ? tr("Not rated") : QString::fromStdString(v.text()));
    }
    m_identify->setPlainText(text);
}

QString MapWindow::identifyText() const
{
    return m_identify->toPlainText();
}

void MapWindow::writeEnableValue()
{
    const std::string value = m_document.enableValue();
    if (value == m_writtenEnable)
        return;
    try {
        qln::gis::writeEnableValue(*m_registry, value);
        m_writtenEnable = value;
    } catch (const std::exception& e) {
        statusBar()->showMessage(tr("Cannot tell the viewer the active theme: ") + QString::fromStdString(e.what()));
    }
}

bool MapWindow::exportPng(const QString& file)
{
    const qln::gis::RatingTheme* theme = nullptr;
    if (const auto row = m_document.activeRow()) {
        const auto entry = m_document.tableOfContents()[*row];
        if (entry.rating)
            theme = &m_document.ratingThemes()[entry.index];
    }
    const QImage image = qln::gis::withLegend(m_canvas->image(), theme);
    if (image.isNull() || !image.save(file, "PNG")) {
        error(tr("Cannot write the map to %1.").arg(file));
        return false;
    }
    statusBar()->showMessage(tr("Map written to %1").arg(file));
    return true;
}

void MapWindow::startViewer()
{
    if (m_viewer->viewerRunning()) {
        m_viewer->send("SETFOCUS");
        return;
    }
    const auto row = m_document.activeRow();
    const auto toc = m_document.tableOfContents();
    if (!row || toc[*row].rating) {
        error(tr("Make a soils theme active to start Quillon on it."));
        return;
    }
    m_document.setLinkedSoilsTheme(toc[*row].index);
    themesChanged(false);
    const auto& layer = *m_document.soilsThemes()[toc[*row].index];
    QString why;
    const QString folder = QString::fromStdString(layer.path().parent_path().string());
    const QString attributeFile = QString::fromStdString(layer.attributeFileName());
    if (!m_viewer->start(folder, attributeFile, why))
        error(why);
    else if (m_options.verbose)
        std::cout << "started: " << m_options.viewerProgram.toStdString() << ' '
                  << ViewerLink::startArgument(folder, attributeFile).toStdString() << std::endl;
}

void MapWindow::error(const QString& text)
{
    statusBar()->showMessage(text);
    // Not titled "ArcView GIS": the viewer counts windows so titled as GIS sessions.
    qln::desktop::messageBox({text.toStdString(), "Quillon Map", qln::desktop::Buttons::Ok, qln::desktop::Icon::Critical});
}

void MapWindow::closeEvent(QCloseEvent* e)
{
    m_viewer->sendExit();
    m_publisher.reset();
    QMainWindow::closeEvent(e);
}
