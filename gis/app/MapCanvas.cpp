#include "MapCanvas.h"

#include "quillon/gis/MapRenderer.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>

using qln::gis::MapView;

MapCanvas::MapCanvas(QWidget* parent)
    : QWidget(parent)
{
    setObjectName("mapCanvas");
    setMinimumSize(320, 240);
    setMouseTracking(false);
    connect(&m_watcher, &QFutureWatcher<QImage>::finished, this, [this] {
        const QImage image = m_watcher.result();
        m_drawing = false;
        if (m_again) {
            m_again = false;
            redraw();
            return;
        }
        if (!image.isNull()) {
            m_image = image;
            m_imageExtent = m_extent;
        }
        m_dragOffset = {};
        update();
        emit drawingFinished();
    });
}

MapCanvas::~MapCanvas()
{
    if (m_cancel)
        *m_cancel = true;
    m_watcher.waitForFinished();
}

void MapCanvas::setContent(std::shared_ptr<const qln::gis::SoilsLayer> layer, std::vector<QColor> fill, bool resetExtent)
{
    m_layer = std::move(layer);
    m_fill = std::move(fill);
    m_aspect = m_layer ? m_layer->groundAspect() : 1;
    if (resetExtent && m_layer)
        m_extent = qln::gis::fullExtent(*m_layer);
    redraw();
}

void MapCanvas::fullExtent()
{
    if (m_layer) {
        m_extent = qln::gis::fullExtent(*m_layer);
        redraw();
    }
}

void MapCanvas::zoomIn()
{
    zoomBy(0.5, rect().center());
}

void MapCanvas::zoomOut()
{
    zoomBy(2.0, rect().center());
}

MapView MapCanvas::view() const
{
    return MapView {m_extent, size(), m_aspect};
}

MapView MapCanvas::imageView() const
{
    return MapView {m_imageExtent, m_image.size(), m_aspect};
}

QTransform MapCanvas::transform() const
{
    return qln::gis::viewTransform(view());
}

void MapCanvas::zoomBy(double factor, QPointF aroundPixel)
{
    if (!m_layer)
        return;
    const QPointF around = transform().inverted().map(aroundPixel);
    const QRectF e = m_extent;
    m_extent = QRectF(around.x() - (around.x() - e.left()) * factor, around.y() - (around.y() - e.top()) * factor,
                      e.width() * factor, e.height() * factor);
    redraw();
}

void MapCanvas::redraw()
{
    if (m_drawing) {
        // One job at a time: the running one is told to stop, and a new one follows it.
        if (m_cancel)
            *m_cancel = true;
        m_again = true;
        return;
    }
    if (!m_layer || size().isEmpty()) {
        m_image = {};
        update();
        return;
    }
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    qln::gis::RenderJob job {m_layer, m_fill, view()};
    m_drawing = true;
    emit drawingStarted();
    m_watcher.setFuture(QtConcurrent::run([job = std::move(job), cancel = m_cancel] {
        return qln::gis::render(job, cancel.get());
    }));
}

void MapCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_image.isNull())
        painter.drawImage(m_dragOffset, m_image);
}

void MapCanvas::resizeEvent(QResizeEvent*)
{
    redraw();
}

void MapCanvas::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        m_pressAt = e->position().toPoint();
        m_dragging = false;
    }
}

void MapCanvas::mouseMoveEvent(QMouseEvent* e)
{
    if (!(e->buttons() & Qt::LeftButton))
        return;
    const QPoint offset = e->position().toPoint() - m_pressAt;
    if (offset.manhattanLength() > 3)
        m_dragging = true;
    if (m_dragging) {
        m_dragOffset = offset;
        update();
    }
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const QTransform inverse = transform().inverted();
    if (m_dragging) {
        const QPointF shift = inverse.map(QPointF(m_pressAt)) - inverse.map(e->position());
        m_extent.translate(shift);
        m_dragging = false;
        redraw();
        return;
    }
    emit identifyAt(inverse.map(e->position()));
}

void MapCanvas::wheelEvent(QWheelEvent* e)
{
    zoomBy(e->angleDelta().y() > 0 ? 0.8 : 1.25, e->position());
}
