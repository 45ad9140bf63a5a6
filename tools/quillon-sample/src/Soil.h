#pragma once

#include "Archetypes.h"
#include "Model.h"
#include "Random.h"

#include <cstdint>
#include <string>

namespace qln::sample {

// A named soil series: an archetype with offsets of its own, the same wherever it is mapped.
struct Series {
    std::string name;
    const Archetype* type = nullptr;
    double clayShift = 0, sandShift = 0, phShift = 0, omFactor = 1;
    int wetShift = 0;
    int restDepth = 0;   // 0 when the archetype has no restriction
    int floodClass = 0;
};

// The climate of one survey area, shared by its components with small variation.
struct Climate {
    double elev = 300;
    double airtemp = 9;
    int map = 850;
    int ffd = 160;
};

Series makeSeries(std::uint64_t seed, std::size_t index);

// A component of a series, with its horizons, months, restriction and crop yields; its
// percent and key are left for the caller.
Component seriesComponent(Random& r, const Series& s, const SlopeClass& slope, const Climate& c);
// A miscellaneous area ("Water", "Rock outcrop", ...): no horizons; months only where the
// ground can hold water.
Component miscComponent(Random& r, const std::string& name, const SlopeClass& slope,
                        const Climate& c);

double round1(double x);
double round2(double x);

} // namespace qln::sample
