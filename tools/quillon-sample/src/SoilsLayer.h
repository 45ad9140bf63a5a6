#pragma once

#include "Generator.h"

#include <cstdint>
#include <string>

namespace qln::sample {

struct LayerCounts {
    int polygons = 0;
    int nullKeys = 0;       // rows whose mukey is Null
    int unknownKeys = 0;    // rows naming a map unit the database does not hold
    int unmapped = 0;       // map units of the database that no row names
};

// Writes the polygon shapefile base + ".shp" (with .shx, .dbf, .cpg and .prj): one to three
// delineations per map unit on a jittered grid per survey area, attribute columns
// AREASYMBOL, MUSYM and MUKEY (upper case, as the agency's survey downloads name them), and
// on purpose a few rows without a key, a few with keys of map units the
// database does not hold, and a few map units left out.
LayerCounts writeSoilsLayer(const std::string& base, const SurveyLayout& layout, std::uint64_t seed);

} // namespace qln::sample
