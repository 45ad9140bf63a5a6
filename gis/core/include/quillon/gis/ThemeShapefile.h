#pragma once

// A rating theme written out as a shapefile of its own (the theme's polygons with MUKEY,
// MUSYM and the rating), so that it outlives the viewer's clean-up.

#include "quillon/gis/RatingTheme.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace qln::gis {

// A file name made from a theme title: characters that file systems or shells refuse become
// "_", blanks and dots around are dropped, at most 100 bytes; "theme" when nothing is left.
std::string safeFileName(std::string_view title);

// Whether a shapefile at shp exists already (its .shp, .shx or .dbf, any letter case).
bool shapefileExists(const std::filesystem::path& shp);

// The dBase field name of a rating column: its first 10 characters. Throws GisError when
// that is MUKEY or MUSYM, which the file has already.
std::string ratingFieldName(const std::string& column);

// Writes the theme as a polygon shapefile at shp (.shp, .shx, .dbf, .cpg "UTF-8", and the
// source's .prj when it has one): every shape of its layer in order, with MUKEY and MUSYM as
// character fields and the rating as ratingFieldName(column). The files are written under
// temporary names and moved into place as a set, replacing a shapefile of that name (and
// dropping its spatial index files); on failure nothing of the old set has changed. Throws
// GisError naming the file or folder. Returns the .shp written (its extension in lower case).
std::filesystem::path writeThemeShapefile(const RatingTheme& theme, const std::filesystem::path& shp);

} // namespace qln::gis
