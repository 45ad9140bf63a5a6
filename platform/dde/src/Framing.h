#pragma once

// Frames on the wire: a 4-byte big-endian length, then that many bytes. A reply's bytes
// begin with 'A' (acknowledged) or 'R' followed by the reason of a refusal.
#include <cstdint>
#include <string>
#include <string_view>

namespace qln::dde::detail {

inline std::string frame(std::string_view payload)
{
    const auto n = static_cast<std::uint32_t>(payload.size());
    std::string out;
    out.reserve(4 + payload.size());
    out.push_back(static_cast<char>(n >> 24));
    out.push_back(static_cast<char>(n >> 16));
    out.push_back(static_cast<char>(n >> 8));
    out.push_back(static_cast<char>(n));
    out.append(payload);
    return out;
}

inline std::uint32_t frameLength(const char* header)
{
    const auto b = [&](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(header[i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

} // namespace qln::dde::detail
