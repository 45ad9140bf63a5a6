#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qln::test {

// A fresh folder removed at the end of the test; the per-user folders (registry, cache,
// state, data) point into it so that tests never touch the real home.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillon-test-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
        ::setenv("QUILLON_REGISTRY_ROOT", (m_path / "registry").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (m_path / "cache").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (m_path / "state").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (m_path / "data").c_str(), 1);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

} // namespace qln::test
