#pragma once

#include <cstddef>
#include <string>

namespace qln::sample {

// How many distinct invented series names there are.
std::size_t seriesNameCount();
// The invented series name of that number (0 .. seriesNameCount()-1).
std::string seriesName(std::size_t index);
// An invented county name for a survey area.
std::string countyName(std::size_t index);
// The fictional state all generated survey areas lie in, and its two-letter symbol.
inline constexpr const char* kStateName = "Vessland";
inline constexpr const char* kStateSymbol = "VS";

// The texture class name of a mineral soil layer from its sand and clay percent.
std::string textureClass(double sand, double clay);

} // namespace qln::sample
