#pragma once

#include <filesystem>
#include <string_view>

namespace qln::desktop::detail {

// Replaces the file with the contents (mode 0600) by writing a temporary file beside it,
// named ".<file name>.XXXXXX", and renaming it over the file, so a reader sees the old or
// the new contents, never a part. Throws DesktopError naming the file; no temporary file
// is left behind.
void replaceFile(const std::filesystem::path& file, std::string_view contents);

} // namespace qln::desktop::detail
