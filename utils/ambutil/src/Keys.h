#pragma once

#include "quillon/registry/Registry.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qln::ambutil {

inline constexpr std::int32_t kQueryAccess = 1;
inline constexpr std::int32_t kWriteAccess = 0x20006;
inline constexpr std::int32_t kNotifyAccess = 16;

// An opened key. The folder store holds nothing open between calls, so there is nothing to
// close either.
struct OpenKey {
    registry::Store store;
    registry::Hive hive;
    std::string path;
};

// The text of a C argument; a null pointer reads as "".
inline std::string text(const char* value)
{
    return value ? value : "";
}

// Opens a key of a predefined hive with the access asked for; write access creates it when
// missing. Reports the attempt, and any failure; nothing when the key cannot be opened.
std::optional<OpenKey> OpenRegistryKey(std::uint32_t hive, const std::string& key, std::int32_t access);

// Reads a value's data into buffer (length bytes), or with no buffer only its size, and
// sets length to the size of the data. False, reported, when the value cannot be read or
// does not fit.
bool QueryRegistryKey(const OpenKey& key, const std::string& field, void* buffer, std::int32_t& length);

// Writes a value; false, reported, when that fails.
bool WriteRegistryKey(OpenKey& key, const std::string& field, const registry::Value& value);

} // namespace qln::ambutil
