#pragma once

// A rating theme written out as a GeoPackage: its polygons with MUKEY, MUSYM and the rating,
// and its legend stored as the layer's default style, so that QGIS opens it coloured.

#include "quillon/gis/RatingTheme.h"

#include <filesystem>

namespace qln::gis {

// Writes one polygon layer named after the file's stem: every shape of the theme's layer in
// order as a multipolygon (a shape without rings has no geometry), MUKEY and MUSYM as texts
// and the rating as the theme's column, a real number when numericField and text otherwise;
// Null stays Null. The coordinate system is the layer's .prj. The theme's legend goes into
// layer_styles as the default style. The file is made in a private folder beside gpkg and
// moved over it when whole: on any failure gpkg is as it was. A link at gpkg is followed.
// Throws GisError naming the file; a value of a numeric column that is no number names its
// map unit.
void writeThemeGeoPackage(const RatingTheme& theme, const std::filesystem::path& gpkg, bool numericField);

} // namespace qln::gis
