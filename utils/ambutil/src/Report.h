#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qln::ambutil {

inline constexpr std::int32_t gmrERR = 4;
inline constexpr std::int32_t gmrINFO = 16;
// Catalog message 1 ("%1") carries a plain text.
inline constexpr std::int32_t kTextMessage = 1;
inline constexpr std::int32_t kQueryFailed = 402;
inline constexpr std::int32_t kWriteFailed = 403;

// Records catalog message msgId with one insert in the log only. With a system error code
// it goes through the Reporter's vector entry that carries one.
void report(std::int32_t type, const char* procedure, std::int32_t msgId, const std::string& insert,
            std::optional<std::int32_t> sysErrNum = std::nullopt);

// The system error code of the registry failure just caught: errno when the failing call
// left one, else EINVAL (a name the registry refuses).
std::int32_t failureCode();

} // namespace qln::ambutil
