#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qln::landsort::detail {

// Errors of the language runtime that the sorts meet in values.
inline constexpr std::int64_t kTypeMismatch = 0x800A000D;      // a value that is not a date
inline constexpr std::int64_t kInvalidArgument = 0x800A0005;   // an argument out of range

// Raises a qln::EngineError that starts its trail at source.
[[noreturn]] void raise(std::int64_t number, std::string source, std::string description);

// Call inside a catch block: raises the error being handled again with "/routine(Line N)"
// after its source, so the trail reads from the origin outwards. Any other exception
// becomes an EngineError with qln::kUnexpectedError.
[[noreturn]] void rethrowFromRoutine(std::string_view routine, int line);

} // namespace qln::landsort::detail
