#pragma once

#include "Model.h"

#include <string>
#include <vector>

namespace qln::sample {

// The map-unit summaries of muaggatt, computed from the map unit's components.
struct MapUnitSummary {
    OptD slopegraddcp, slopegradwta;
    OptI brockdepmin, wtdepannmin, wtdepaprjunmin;
    OptS flodfreqdcd, flodfreqmax, pondfreqprs;
    OptD aws025wta, aws050wta, aws0100wta, aws0150wta;
    OptS drclassdcd, drclasswettest, hydgrpdcd, iccdcd;
    OptI iccdcdpct;
    OptS niccdcd;
    OptI niccdcdpct;
    OptI hydclprs;
};

MapUnitSummary summarize(const MapUnit& mu);

// Available water storage (cm) of the component's horizons between top and bottom cm;
// absent when no horizon there has a value.
OptD waterStorage(const Component& c, int top, int bottom);

struct MapUnitText {
    std::string kind;
    std::string category;
    std::string text;
};

// The map unit's descriptions: non-technical texts in several categories and, for some, a
// note of another kind.
std::vector<MapUnitText> describe(const MapUnit& mu, const std::vector<std::string>& dwellingRatings);

} // namespace qln::sample
