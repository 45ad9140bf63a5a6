#pragma once

// Short file names. This file system has no separate 8.3 forms: the short path of a file
// is its full path and its short name is its name.
//   shortFileName("/data/soils survey.mdb") -> {"/data/soils survey.mdb", "soils survey.mdb"}

#include <filesystem>
#include <optional>
#include <string>

namespace qln::desktop {

struct ShortFileName {
    std::string path;  // absolute, normalised
    std::string name;
};

// Nothing when no file is at the path (a folder is not a file). Throws DesktopError
// naming the path when it cannot be looked at (a folder on the way denies access).
std::optional<ShortFileName> shortFileName(const std::filesystem::path& longPath);

} // namespace qln::desktop
