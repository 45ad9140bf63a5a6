#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qln::sample {

struct SampleOptions {
    std::string name = "sample";
    int areas = 2;
    int mapunits = 300;
    std::uint64_t seed = 1;
};

// A map unit as the soils layer draws it.
struct LayerUnit {
    std::string mukey;
    std::string musym;
};

// What the database holds, area by area, for the layer writer.
struct SurveyLayout {
    std::vector<std::vector<LayerUnit>> areas;
    std::vector<std::string> areaSymbols;  // per area, as areas
    std::int64_t lastMukey = 0;
};

// Writes the whole soils database into a new file at path (which must not exist yet),
// in one transaction.
SurveyLayout writeSoilsDatabase(const std::string& path, const SampleOptions& options);

} // namespace qln::sample
