#pragma once

// A rating theme: a column of the results table MU_Data joined to the soils polygons by
// mukey and coloured by a legend; and the script calls that make and remove such themes.

#include "quillon/Variant.h"
#include "quillon/gis/Legend.h"
#include "quillon/gis/SoilsLayer.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qln::gis {

inline constexpr std::string_view kDisplayInterps = "Quillon.DisplayInterps";
inline constexpr std::string_view kInterpsCleanup = "Quillon.InterpsCleanup";

// av.run("<script>", "<argument>" ): the script runs to the first quote, the argument to
// the last closing " ) so that quotes inside it stay.
struct ScriptCall {
    std::string script;
    std::string argument;
};
std::optional<ScriptCall> parseRunCommand(std::string_view command);

// column|title|legend: the first field is the column and the last the legend, all between
// is the title, so a "|" inside a title does no harm. Throws GisError with fewer than three.
struct DisplayRequest {
    std::string column;
    std::string title;
    std::string legend;  // a legend file, or "DYNAMIC"
};
DisplayRequest parseDisplayArgument(std::string_view argument);

// mukey -> rating of a column of MU_Data. Throws GisError naming the database when it cannot
// be opened and naming the column when MU_Data does not have it.
std::unordered_map<std::string, Variant> readRatings(const std::filesystem::path& results, const std::string& column);

struct RatingTheme {
    std::string title;
    std::string column;
    std::shared_ptr<const SoilsLayer> layer;
    Legend legend;
    std::vector<Variant> values;          // per shape of the layer
    std::vector<std::uint32_t> entryOf;   // per shape: its legend entry
    // Drawn from a shapefile of its own (a converted theme): the viewer's clean-up keeps it.
    bool permanent = false;
};

// Builds the theme the request asks for; throws GisError (legend file, database, column).
RatingTheme makeRatingTheme(std::shared_ptr<const SoilsLayer> layer, const DisplayRequest& request,
                            const std::filesystem::path& results);
// The same from ratings already read (mukey -> rating, as readRatings gives them).
RatingTheme makeRatingTheme(std::shared_ptr<const SoilsLayer> layer, const DisplayRequest& request,
                            const std::unordered_map<std::string, Variant>& ratings);

// One line for people and scripts: the title, the column, then each legend entry's label
// with the number of polygons it colours, in legend order ("title" from COL: a (3); b (1)).
std::string themeSummary(const RatingTheme& theme);

} // namespace qln::gis
