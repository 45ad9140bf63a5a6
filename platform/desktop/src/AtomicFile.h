#pragma once

#include <filesystem>
#include <string_view>

namespace qln::desktop::detail {

// Replaces the file whole through the project's atomic replace, so a reader sees the old
// or the new contents, never a part. Throws DesktopError naming the file; no temporary
// file is left behind.
void replaceFile(const std::filesystem::path& file, std::string_view contents);

} // namespace qln::desktop::detail
