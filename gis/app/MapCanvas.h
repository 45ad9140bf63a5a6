#pragma once

// Shows the last drawn image of the map and asks for a new one on a worker thread whenever
// the view or the theme changes; a newer request cancels the older. Drag pans, the wheel
// zooms, a click (without drag) asks to identify what lies under it.

#include <QColor>
#include <QFutureWatcher>
#include <QImage>
#include <QWidget>

#include <atomic>
#include <memory>
#include <vector>

namespace qln::gis {
class SoilsLayer;
struct MapView;
}

class MapCanvas : public QWidget {
    Q_OBJECT
public:
    explicit MapCanvas(QWidget* parent = nullptr);
    ~MapCanvas() override;

    // What to draw; fill empty draws plain soils. Keeps the extent unless told to reset it.
    void setContent(std::shared_ptr<const qln::gis::SoilsLayer> layer, std::vector<QColor> fill, bool resetExtent);
    QRectF extent() const { return m_extent; }
    // The view shown now (identify and zoom map through it), and the one image() was drawn by.
    qln::gis::MapView view() const;
    qln::gis::MapView imageView() const;
    const QImage& image() const { return m_image; }
    bool drawing() const { return m_drawing; }

public slots:
    void fullExtent();
    void zoomIn();
    void zoomOut();

signals:
    void drawingStarted();
    void drawingFinished();
    void identifyAt(QPointF mapPoint);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;

private:
    void zoomBy(double factor, QPointF aroundPixel);
    void redraw();
    QTransform transform() const;

    std::shared_ptr<const qln::gis::SoilsLayer> m_layer;
    std::vector<QColor> m_fill;
    QRectF m_extent;
    QImage m_image;
    QRectF m_imageExtent;
    double m_aspect = 1;
    QFutureWatcher<QImage> m_watcher;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    bool m_drawing = false;
    bool m_again = false;
    QPoint m_pressAt;
    QPoint m_dragOffset;
    bool m_dragging = false;
};
