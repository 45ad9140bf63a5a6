#pragma once

// The files that make up a shapefile, found beside its .shp, and the checks of their headers
// against their lengths that run before shapelib trusts them: an empty, cut or lying file is
// refused with a message naming it instead of being read as far as it goes.

#include <filesystem>
#include <string>

namespace qln::gis::detail {

struct ShapefileFiles {
    std::filesystem::path shp, shx, dbf;
    std::filesystem::path prj, cpg;  // empty when absent
};

// The file with the stem of shp and the extension in either letter case ("" when neither
// exists), as survey downloads from other systems name them.
std::filesystem::path sibling(const std::filesystem::path& shp, const std::string& lowerExtension);

// The files of the shapefile; throws GisError naming the .shp, .shx or .dbf that is missing,
// empty or damaged. Returns the number of shapes the index lists.
int checkShapefile(const std::filesystem::path& shp, ShapefileFiles& files);

} // namespace qln::gis::detail
