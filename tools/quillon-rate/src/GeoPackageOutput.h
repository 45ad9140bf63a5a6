#pragma once

// The ratings of a run as a GeoPackage: the polygons of the soils shapefile with the rating
// joined by mukey, coloured by the attribute's legend as the map colours them.

#include "quillon/ado/Recordset.h"

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

namespace qln::gis {
class SoilsLayer;
}

namespace qln::rate {

struct GeoPackageRequest {
    std::shared_ptr<const gis::SoilsLayer> layer;
    std::string column;  // the rating column of the results
    std::string title;   // the attribute's theme name
    std::string legend;  // the attribute's legend file, or "DYNAMIC"
};

// Reads the layer and the attribute's legend (the bundled legend folder and the attribute's
// UseAVLFile/AVLFileName), so that a bad shapefile or legend stops the run before it rates.
// Throws gis::GisError naming the file. What the layer leaves out (shapes that cannot be
// drawn, written without geometry) goes to warnings, a line each.
GeoPackageRequest prepareGeoPackage(const std::filesystem::path& shp, const ado::Recordset& attribute,
                                    const std::filesystem::path& legends, std::ostream& warnings);

// Writes the GeoPackage: the rating a real number when the results declare a number (or,
// undeclared, every value is one), text otherwise. Throws OutputError when it cannot be
// written; the file at output is then as it was.
void writeGeoPackage(ado::Recordset& results, GeoPackageRequest request, const std::filesystem::path& output);

} // namespace qln::rate
