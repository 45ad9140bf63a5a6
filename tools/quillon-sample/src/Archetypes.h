#pragma once

#include <string>
#include <vector>

namespace qln::sample {

enum class LayerKind { Surface, Eluvial, Subsoil, Transition, Substratum, Organic, Buried, Calcic };

struct LayerTemplate {
    const char* name;
    const char* master;
    int thickLo;
    int thickHi;
    LayerKind kind;
    double presence = 1.0;   // chance that the layer is present at all
};

// One kind of soil of the survey region: its setting, drainage and profile. Series are
// drawn from these with small offsets of their own.
struct Archetype {
    const char* key;
    int drainage;            // index into the drainage_class domain
    const char* hydgrp;
    const char* hydric;
    double clay[3];          // surface, subsoil, substratum
    double sand[3];
    double omSurface;
    double ph[3];
    int wettestTop;          // cm to the wet zone in the wettest month; 999: none within 200 cm
    int floodClass;          // index into flooding_frequency_class
    int pondClass;           // index into ponding_frequency_class
    const char* restriction; // restriction_kind or nullptr
    int restLo, restHi;
    const char* slopeClasses;
    const char* taxorder;
    const char* taxsubgroup;
    const char* partsize;    // nullptr where the family has none
    const char* geomdesc;
    std::vector<LayerTemplate> layers;
    bool calcareous;
    bool saline;
};

const std::vector<Archetype>& archetypes();

struct SlopeClass {
    char letter;
    int lo, hi;
};
const SlopeClass& slopeClass(char letter);

} // namespace qln::sample
