#pragma once

#include "DownloadFiles.h"

#include <string>
#include <vector>

namespace qln::download {

// One file of a map layer as it is to be written beside the database.
struct LayerFile {
    std::string name;
    std::string bytes;
};

// The map-unit polygons of the surveys, as files to write beside the database. One survey's
// layer is copied as it is. The layers of several surveys become one layer,
// soilmu_a_<area>_<area>..., so that the map and the viewer see a single soils layer: its
// shapes and records in survey order. They must agree on what a merged layer cannot mix (the
// coordinate system, the columns and their types, the code page); where they do not, the
// DownloadError names both surveys.
std::vector<LayerFile> polygonLayers(const std::vector<const DownloadFiles*>& surveys);

} // namespace qln::download
