#pragma once

// A rating theme as JSON, for a GIS that draws the map's themes itself: its legend entries
// in order, with the polygons each colours, and the rating of each map unit of the layer.

#include "quillon/gis/RatingTheme.h"

#include <string>

namespace qln::gis {

// {"title", "column", "summary" (themeSummary), "entries": [{"kind": "class" | "range" |
// "nodata" | "other", "value", "low", "high" (null when open), "highInclusive", "colour"
// ("#rrggbb"), "label", "count"}], "values": {mukey: null | [text, number or null]}}.
std::string themeJson(const RatingTheme& theme);

} // namespace qln::gis
