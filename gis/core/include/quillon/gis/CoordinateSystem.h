#pragma once

// What the map needs of a layer's coordinate system: whether its coordinates are longitude
// and latitude, whose degrees of longitude shrink on the ground away from the equator.

#include <QRectF>

#include <string>

namespace qln::gis {

// Whether a coordinate system, as the text of a .prj (any WKT GDAL reads), is geographic.
// False for "" and for a text GDAL cannot read: those are drawn as given.
bool isGeographic(const std::string& projection);

// The ground width of one unit of x against one unit of y: for a geographic layer the cosine
// of the middle latitude of its extent, else 1. The map draws x that much narrower, so
// that a survey keeps its shape; over a survey's few tens of kilometres this differs from a
// true projection by far less than a pixel's worth of shape.
double groundAspect(const std::string& projection, const QRectF& extent);

} // namespace qln::gis
