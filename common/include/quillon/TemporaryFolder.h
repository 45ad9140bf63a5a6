#pragma once

#include <filesystem>
#include <string>

namespace qln {

// A new folder made exclusively under `parent` (its name `prefix` and six random characters)
// and removed with everything in it when the owner goes, whatever ends the work.
class TemporaryFolder {
public:
    // Throws std::filesystem::filesystem_error naming the parent when it cannot be made.
    TemporaryFolder(const std::filesystem::path& parent, const std::string& prefix);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace qln
