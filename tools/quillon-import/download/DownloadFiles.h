#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qln::download {

// The files of one survey download: a download folder, its tabular folder, or the zip as
// downloaded (read in place, nothing unpacked). Errors are DownloadError naming the path.
class DownloadFiles {
public:
    explicit DownloadFiles(const std::filesystem::path& download);
    ~DownloadFiles();
    DownloadFiles(const DownloadFiles&) = delete;
    DownloadFiles& operator=(const DownloadFiles&) = delete;

    // The download as the user named it.
    const std::string& name() const { return m_name; }
    // The whole bytes of a file of the tabular part ("comp.txt", matched without regard to
    // case); nothing when the download has no such file.
    std::optional<std::string> tabular(const std::string& file) const;
    // The names of the files of the tabular part.
    std::vector<std::string> tabularFiles() const;
    // How messages name a file of the tabular part.
    std::string describe(const std::string& file) const;
    // The files of the map-unit polygons of the spatial part (soilmu_a_*.shp, .shx, .dbf,
    // .prj), by file name.
    std::vector<std::string> polygonFiles() const;
    // The bytes of a file polygonFiles() named.
    std::string spatial(const std::string& file) const;

private:
    struct Zip;
    std::string m_name;
    std::filesystem::path m_tabular;  // folder downloads
    std::filesystem::path m_spatial;
    std::unique_ptr<Zip> m_zip;
};

} // namespace qln::download
