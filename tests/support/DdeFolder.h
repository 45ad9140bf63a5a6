#pragma once

// Conversations of a test kept in a folder of its own, away from the user's and from
// tests running in parallel.

#include "TempFolder.h"

#include <cstdlib>
#include <filesystem>

namespace qln::test {

// Makes `temp`/dde, private to the user as the link requires, and points the link at it.
inline void usePrivateDdeFolder(const TempFolder& temp)
{
    const std::filesystem::path folder = temp / "dde";
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
    ::setenv("QUILLON_DDE_DIR", folder.c_str(), 1);
}

} // namespace qln::test
