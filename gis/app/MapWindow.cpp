#include "MapWindow.h"

#include "quillon/AtomicFile.h"
#include "quillon/desktop/MessageBox.h"
#include "quillon/desktop/QtDesktop.h"
#include "quillon/gis/GisError.h"
#include "quillon/gis/MapRenderer.h"
#include "quillon/gis/ResultsLocation.h"
#include "quillon/gis/ThemeShapefile.h"
#include "quillon/registry/Registry.h"

#include <QAction>
#include <QBuffer>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
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
    auto* theme = menuBar()->addMenu(tr("&Theme"));
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
    m_convert = action(theme, "actConvertToShapefile", tr("Convert to &Shapefile..."), [this] {
        const QString shp = QFileDialog::getSaveFileName(this, tr("Convert to Shapefile"), defaultShapefileName(),
                                                         tr("Shapefiles (*.shp)"), nullptr,
                                                         QFileDialog::DontConfirmOverwrite);
        if (!shp.isEmpty())
            convertActiveTheme(shp);
    }, false);
    m_properties = action(theme, "actThemeProperties", tr("&Properties..."), [this] {
        auto* dialog = new QDialog(this);
        dialog->setObjectName("dlgThemeProperties");
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowTitle(tr("Theme Properties"));
        auto* text = new QPlainTextEdit(themeProperties());
        text->setReadOnly(true);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
        connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
        auto* layout = new QVBoxLayout(dialog);
        layout->addWidget(text);
        layout->addWidget(buttons);
        dialog->resize(640, 420);
        dialog->open();
    }, false);
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
    // Shapes left out are said on standard error and in the status bar; the rest is drawn.
    const auto& warnings = m_document.soilsThemes().back()->warnings();
    for (const auto& warning : warnings)
        std::cerr << "quillon-map: warning: " << warning << '\n';
    themesChanged(m_document.soilsThemes().size() == 1);
    if (!warnings.empty())
        statusBar()->showMessage(QString::fromStdString(warnings.front()) +
                                 (warnings.size() > 1 ? tr(" (and %1 more)").arg(warnings.size() - 1) : QString()));
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
        if (entry.permanent)
            item->setToolTip(tr("Converted theme: ") +
                             QString::fromStdString(m_document.ratingThemes()[entry.index].layer->path().string()));
        else
            item->setToolTip(entry.rating ? tr("Rating theme (removed when the viewer cleans up)") : tr("Soils theme"));
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
    m_convert->setEnabled(activeRatingTheme() != nullptr);
    m_properties->setEnabled(m_document.activeRow().has_value());
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
    if (!layer.areasymbol(*shape).empty())
        text += "\nareasymbol: " + QString::fromStdString(layer.areasymbol(*shape));
    for (const auto& theme : m_document.ratingThemes()) {
        // A converted theme has polygons of its own file.
        const auto own = theme.layer.get() == &layer ? shape : theme.layer->shapeAt(at);
        if (!own)
            continue;
        const qln::Variant& v = theme.values[*own];
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
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    std::string failure;
    if (image.isNull() || !image.save(&buffer, "PNG")) {
        failure = "the map could not be drawn";
    } else {
        // The map is an output like every other: never over a file the map shows, replaced
        // whole, or written into a device.
        std::vector<std::filesystem::path> inputs;
        for (const auto& layer : m_document.soilsThemes()) {
            inputs.push_back(layer->path());
            inputs.push_back(layer->path().parent_path() / layer->attributeFileName());
        }
        // The world file beside it places the image in the layer's coordinates.
        const std::filesystem::path path = file.toStdString();
        const std::filesystem::path world = std::filesystem::path(path).replace_extension(".pgw");
        try {
            qln::refuseOutputsOverInputs({path, world}, inputs);
            qln::AtomicFile out(path);
            qln::AtomicFile place(world);
            out.write(std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
            place.write(qln::gis::worldFile(m_canvas->imageView()));
            out.commit();
            place.commit();
        } catch (const qln::OutputError& e) {
            failure = e.what();
        } catch (const qln::OutputIsInputError& e) {
            failure = e.what();
        }
    }
    if (!failure.empty()) {
        error(tr("Cannot write the map to %1: %2").arg(file, QString::fromStdString(failure)));
        return false;
    }
    statusBar()->showMessage(tr("Map written to %1").arg(file));
    return true;
}

void MapWindow::startViewer()
{
    if (m_viewer->viewerRunning()) {
        // One viewer at a time: say so, and why it may not take input.
        m_viewer->send("SETFOCUS");
        if (m_document.enableValue() == "Y")
            statusBar()->showMessage(tr("Quillon is already running; it was brought to the front."));
        else
            statusBar()->showMessage(tr("Quillon is already running, disabled: the active theme is not the soils "
                                        "theme it was started on. Activate that theme, or close Quillon (File, "
                                        "Exit) to start it on this one."));
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

const qln::gis::RatingTheme* MapWindow::activeRatingTheme() const
{
    const auto row = m_document.activeRow();
    if (!row)
        return nullptr;
    const auto entry = m_document.tableOfContents()[*row];
    return entry.rating ? &m_document.ratingThemes()[entry.index] : nullptr;
}

std::shared_ptr<const qln::gis::SoilsLayer> MapWindow::activeLayer() const
{
    const auto row = m_document.activeRow();
    if (!row)
        return nullptr;
    const auto entry = m_document.tableOfContents()[*row];
    return entry.rating ? m_document.ratingThemes()[entry.index].layer : m_document.soilsThemes()[entry.index];
}

QString MapWindow::defaultShapefileName() const
{
    const auto* theme = activeRatingTheme();
    if (!theme)
        return {};
    const auto folder = theme->layer->path().parent_path();
    return QString::fromStdString((folder / (qln::gis::safeFileName(theme->title) + ".shp")).string());
}

bool MapWindow::convertActiveTheme(const QString& file)
{
    const auto row = m_document.activeRow();
    if (!activeRatingTheme()) {
        error(tr("Make a rating theme active to convert it to a shapefile."));
        return false;
    }
    std::filesystem::path shp = file.toStdString();
    if (QFileInfo(file).suffix().compare("shp", Qt::CaseInsensitive) != 0)
        shp += ".shp";
    if (qln::gis::shapefileExists(shp)) {
        const auto answer = qln::desktop::messageBox({shp.string() + " already exists.  Do you want to replace it?",
                                                      "Convert to Shapefile", qln::desktop::Buttons::YesNo,
                                                      qln::desktop::Icon::Question, 1});
        if (answer != qln::desktop::Button::Yes)
            return false;
    }
    try {
        m_document.convertToShapefile(*row, shp);
    } catch (const qln::gis::GisError& e) {
        error(QString::fromStdString(e.what()));
        return false;
    }
    themesChanged(false);
    statusBar()->showMessage(tr("Converted to %1").arg(QString::fromStdString(shp.string())));
    return true;
}

QString MapWindow::themeProperties() const
{
    const auto layer = activeLayer();
    if (!layer)
        return {};
    const auto* rating = activeRatingTheme();
    QStringList lines;
    const auto entry = m_document.tableOfContents()[*m_document.activeRow()];
    lines << tr("Theme: %1").arg(QString::fromStdString(entry.title));
    lines << tr("Kind: %1").arg(!rating ? tr("soils theme")
                                : rating->permanent ? tr("converted theme (kept when the viewer cleans up)")
                                                    : tr("rating theme (removed when the viewer cleans up)"));
    if (rating)
        lines << tr("Rating field: %1").arg(QString::fromStdString(rating->column));
    lines << tr("Shapefile: %1").arg(QString::fromStdString(layer->path().string()));
    lines << tr("Shapes: %1").arg(layer->size());
    QStringList fields;
    for (const auto& f : layer->fieldNames())
        fields << QString::fromStdString(f);
    lines << tr("Fields: %1").arg(fields.join(", "));
    lines << tr("Code page: %1").arg(QString::fromStdString(layer->codePage()));
    lines << tr("Coordinate system (.prj):");
    lines << (layer->projection().empty() ? tr("none: no .prj file beside the shapefile")
                                          : QString::fromStdString(layer->projection()));
    return lines.join('\n');
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
