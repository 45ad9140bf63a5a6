#pragma once

#include <string_view>

// How the store lays out its folder tree; shared by the store and the watcher.
namespace qln::registry::layout {

// Every sub-key folder and value file carries a prefix, so that a key and a value of the
// same name cannot collide and no encoded name can be "." or "..".
inline constexpr std::string_view kKeyPrefix = "k-";
inline constexpr std::string_view kValuePrefix = "v-";
// Inside a key folder: the key's name as first written.
inline constexpr std::string_view kDisplayNameFile = ".name";

// Temporary files, folders being created and folders being deleted start with a dot.
inline bool isHousekeeping(std::string_view fileName)
{
    return fileName.empty() || fileName.front() == '.';
}

} // namespace qln::registry::layout
