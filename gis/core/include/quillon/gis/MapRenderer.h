#pragma once

// Draws a soils layer, plain or coloured by a rating theme, into an image. Pure function
// of its inputs, so it runs on a worker thread while the window paints the last image.

#include "quillon/gis/RatingTheme.h"
#include "quillon/gis/SoilsLayer.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QTransform>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace qln::gis {

struct MapView {
    QRectF extent;  // map units shown (grown to the image's aspect ratio)
    QSize size;     // pixels
    double aspect = 1;  // ground width of a unit of x against one of y (groundAspect)
};

// The map-to-pixel transform of a view: the extent centred, north up, x drawn `aspect` times
// as wide as y, so that the ground keeps its shape.
QTransform viewTransform(const MapView& view);
// The world file of an image drawn by the view (.pgw beside a .png): the size of a pixel in
// map units and the map point of the centre of the upper left pixel, so that GIS programs
// place the image where it belongs.
std::string worldFile(const MapView& view);
// An extent around the layer with a small margin.
QRectF fullExtent(const SoilsLayer& layer);

struct RenderJob {
    std::shared_ptr<const SoilsLayer> layer;
    std::vector<QColor> fill;  // per shape; empty: the plain soils colour
    MapView view;
};

// Fill colours per shape of a rating theme.
std::vector<QColor> themeColours(const RatingTheme& theme);

// Draws the job; returns a null image when cancel was raised before the end.
QImage render(const RenderJob& job, const std::atomic<bool>* cancel = nullptr);

// The map with the legend of a rating theme beside it (title, then a swatch and label per
// entry); the map alone when there is no theme. For export.
QImage withLegend(const QImage& map, const RatingTheme* theme);

} // namespace qln::gis
