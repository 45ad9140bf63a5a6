#pragma once

#include <cstdint>

namespace qln::engine {

// The engine's own error numbers.
inline constexpr std::int64_t qlnErrSoilsDatabase = 0x80040201;     // soils database cannot be opened
inline constexpr std::int64_t qlnErrNoOptionList = 0x80040202;      // OptionList table empty
inline constexpr std::int64_t qlnErrNoAttribute = 0x80040203;       // no Attributes row for the key
inline constexpr std::int64_t qlnErrLayerThickness = 0x80040204;    // a soil layer of no thickness
inline constexpr std::int64_t qlnErrTypeMismatch = 0x80040205;      // a text or Null where a number is needed
inline constexpr std::int64_t qlnErrNotFinite = 0x80040206;         // an infinite or not-a-number value
inline constexpr std::int64_t qlnErrOverflow = 0x80040207;          // a value outside its integer type
inline constexpr std::int64_t qlnErrNoMapunits = 0x80040208;        // no input map units
inline constexpr std::int64_t qlnErrInvalidAlgorithm = 0x80040209;  // method code not 0 to 6
inline constexpr std::int64_t qlnErrEmptyList = 0x8004020A;         // an option list without items

} // namespace qln::engine
