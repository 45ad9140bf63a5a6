#include "quillon/gis/MapRenderer.h"

#include <QPainter>
#include <QPainterPath>

namespace qln::gis {

namespace {

const QColor kSoilsFill(0xf2, 0xe6, 0xc9);
const QColor kOutline(0x55, 0x55, 0x55);
const QColor kBackground(Qt::white);

} // namespace

QTransform viewTransform(const MapView& view)
{
    const QRectF& e = view.extent;
    if (e.width() <= 0 || e.height() <= 0 || view.size.isEmpty())
        return {};
    const double aspect = view.aspect > 0 ? view.aspect : 1;
    const double scale = std::min(view.size.width() / (e.width() * aspect), view.size.height() / e.height());
    const QPointF centre = e.center();
    QTransform t;
    t.translate(view.size.width() / 2.0, view.size.height() / 2.0);
    t.scale(scale * aspect, -scale);
    t.translate(-centre.x(), -centre.y());
    return t;
}

std::string worldFile(const MapView& view)
{
    const QTransform inverse = viewTransform(view).inverted();
    const QPointF origin = inverse.map(QPointF(0.5, 0.5));
    // Rotation terms are 0: north is up. Shortest exact decimals, never the locale's form.
    return numberText(inverse.m11()) + "\n0\n0\n" + numberText(inverse.m22()) + "\n" + numberText(origin.x()) + "\n" +
           numberText(origin.y()) + "\n";
}

QRectF fullExtent(const SoilsLayer& layer)
{
    QRectF e = layer.extent();
    const double m = std::max(e.width(), e.height()) * 0.02 + 1e-9;
    return e.adjusted(-m, -m, m, m);
}

std::vector<QColor> themeColours(const RatingTheme& theme)
{
    std::vector<QColor> out;
    out.reserve(theme.entryOf.size());
    const auto& entries = theme.legend.entries();
    for (const std::uint32_t e : theme.entryOf)
        out.push_back(entries[e].colour);
    return out;
}

QImage render(const RenderJob& job, const std::atomic<bool>* cancel)
{
    QImage image(job.view.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(kBackground);
    if (!job.layer || job.view.size.isEmpty())
        return image;
    const SoilsLayer& layer = *job.layer;
    const QTransform t = viewTransform(job.view);
    const QRectF visible = t.inverted().mapRect(QRectF(QPointF(0, 0), QSizeF(job.view.size)));

    QPainter painter(&image);
    QPen outline(kOutline);
    outline.setWidth(0);  // cosmetic: one pixel whatever the scale
    std::vector<QPointF> ring;
    for (std::size_t s = 0; s < layer.size(); ++s) {
        if ((s & 1023) == 0 && cancel && cancel->load(std::memory_order_relaxed))
            return {};
        if (layer.firstRing(s) == layer.endRing(s))
            continue;  // a null shape: nothing to draw, and its zero box is no place
        const QRectF& b = layer.bounds(s);
        if (b.right() < visible.left() || b.left() > visible.right() || b.bottom() < visible.top() ||
            b.top() > visible.bottom())
            continue;
        const QRectF pixels = t.mapRect(b);
        const QColor fill = job.fill.empty() ? kSoilsFill : job.fill[s];
        const bool tiny = pixels.width() < 2 && pixels.height() < 2;
        painter.setPen(tiny ? QPen(fill) : outline);
        painter.setBrush(fill);
        if (tiny) {
            // Below two pixels a polygon is a dot: skip the path.
            painter.fillRect(QRectF(pixels.topLeft(), QSizeF(std::max(pixels.width(), 1.0), std::max(pixels.height(), 1.0))), fill);
            continue;
        }
        const std::uint32_t firstRing = layer.firstRing(s), endRing = layer.endRing(s);
        if (endRing - firstRing == 1) {
            ring.clear();
            for (std::uint32_t i = layer.ringBegin(firstRing); i < layer.ringEnd(firstRing); ++i)
                ring.push_back(t.map(layer.point(i)));
            painter.drawPolygon(ring.data(), static_cast<int>(ring.size()), Qt::OddEvenFill);
            continue;
        }
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        for (std::uint32_t r = firstRing; r < endRing; ++r) {
            ring.clear();
            for (std::uint32_t i = layer.ringBegin(r); i < layer.ringEnd(r); ++i)
                ring.push_back(t.map(layer.point(i)));
            path.addPolygon(QPolygonF(QList<QPointF>(ring.begin(), ring.end())));
        }
        painter.drawPath(path);
    }
    return image;
}

QImage withLegend(const QImage& map, const RatingTheme* theme)
{
    if (!theme)
        return map;
    constexpr int width = 300, line = 22, pad = 12;
    const auto& entries = theme->legend.entries();
    const int height = std::max(map.height(), pad * 2 + line * (static_cast<int>(entries.size()) + 2));
    QImage out(map.width() + width, height, QImage::Format_ARGB32_Premultiplied);
    out.fill(kBackground);
    QPainter painter(&out);
    painter.drawImage(0, 0, map);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const int x = map.width() + pad;
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(Qt::black);
    painter.drawText(QRect(x, pad, width - 2 * pad, line * 2), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     QString::fromStdString(theme->title));
    bold.setBold(false);
    painter.setFont(bold);
    int y = pad + line * 2;
    for (const LegendEntry& e : entries) {
        painter.setPen(kOutline);
        painter.setBrush(e.colour);
        painter.drawRect(x, y + 3, 24, line - 8);
        painter.setPen(Qt::black);
        painter.drawText(QRect(x + 32, y, width - 2 * pad - 32, line), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(e.label));
        y += line;
    }
    return out;
}

} // namespace qln::gis
