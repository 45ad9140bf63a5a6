#include "DownloadFiles.h"

#include "PipeRecords.h"
#include "quillon/Text.h"
#include "quillon/ZipHandles.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

namespace qln::download {
namespace fs = std::filesystem;

namespace {


bool isPolygonFile(const std::string& name)
{
    const std::string file = lowerAscii(name);
    if (file.rfind("soilmu_a_", 0) != 0)
        return false;
    const auto dot = file.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : file.substr(dot);
    return ext == ".shp" || ext == ".shx" || ext == ".dbf" || ext == ".prj";
}

std::string readWhole(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in && !in.eof())
        throw DownloadError(file.string() + ": cannot be read");
    return std::move(bytes).str();
}

// A file of the folder by lower-case name.
std::optional<fs::path> findInFolder(const fs::path& folder, const std::string& file)
{
    std::error_code error;
    if (fs::exists(folder / file, error))
        return folder / file;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (lowerAscii(entry.path().filename().string()) == lowerAscii(file))
            return entry.path();
    return std::nullopt;
}

} // namespace

struct DownloadFiles::Zip {
    ZipArchive archive;
    std::map<std::string, zip_uint64_t> tabular;  // lower-case file name to entry
    std::map<std::string, zip_uint64_t> spatial;  // file name as stored
    std::string read(const std::string& download, zip_uint64_t index) const
    {
        const std::string entry = zip_get_name(archive.get(), index, ZIP_FL_ENC_GUESS);
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
            throw DownloadError(download + ": " + entry + ": " + zip_strerror(archive.get()));
        const ZipFile file(zip_fopen_index(archive.get(), index, 0));
        if (!file)
            throw DownloadError(download + ": " + entry + ": " + zip_strerror(archive.get()));
        std::string bytes(static_cast<std::size_t>(stat.size), '\0');
        const zip_int64_t got = zip_fread(file.get(), bytes.data(), bytes.size());
        const std::string why = zip_file_strerror(file.get());
        if (got < 0 || static_cast<zip_uint64_t>(got) != stat.size)
            throw DownloadError(download + ": " + entry + " cannot be read whole (" + why +
                                "); the zip may be cut short or damaged");
        return bytes;
    }
};

DownloadFiles::DownloadFiles(const fs::path& download) : m_name(download.string())
{
    std::error_code error;
    if (fs::is_directory(download, error)) {
        if (auto inner = findInFolder(download, "tabular"); inner && fs::is_directory(*inner))
            m_tabular = *inner;
        else
            m_tabular = download;
        if (!findInFolder(m_tabular, "mstab.txt"))
            throw DownloadError(m_name + ": no mstab.txt, in the folder or its tabular folder: not a survey download");
        if (auto spatial = findInFolder(m_tabular.parent_path(), "spatial"); spatial && m_tabular != download)
            m_spatial = *spatial;
        return;
    }
    int code = 0;
    ZipArchive owned(zip_open(download.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    zip_t* const archive = owned.get();
    if (!archive) {
        zip_error_t why;
        zip_error_init_with_code(&why, code);
        std::string text = zip_error_strerror(&why);
        zip_error_fini(&why);
        if (!fs::exists(download, error))
            text = "no such file or folder";
        else if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS)
            text += " (not a zip, or a zip cut short)";
        throw DownloadError(m_name + ": " + text);
    }
    m_zip = std::make_unique<Zip>();
    m_zip->archive = std::move(owned);
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const char* raw = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!raw)
            continue;
        const std::string entry = raw;
        const auto slash = entry.rfind('/');
        const std::string file = slash == std::string::npos ? entry : entry.substr(slash + 1);
        const std::string folder = slash == std::string::npos ? "" : entry.substr(0, slash);
        const std::string parent = lowerAscii(folder.substr(folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/') + 1));
        if (file.empty())
            continue;
        if (parent == "spatial" && isPolygonFile(file))
            m_zip->spatial.emplace(file, static_cast<zip_uint64_t>(i));
        else if (parent == "tabular" || folder.empty() || lowerAscii(file) == "mstab.txt")
            m_zip->tabular.emplace(lowerAscii(file), static_cast<zip_uint64_t>(i));
    }
    if (!m_zip->tabular.count("mstab.txt"))
        throw DownloadError(m_name + ": the zip holds no mstab.txt: not a survey download");
}

DownloadFiles::~DownloadFiles() = default;

std::optional<std::string> DownloadFiles::tabular(const std::string& file) const
{
    if (m_zip) {
        const auto found = m_zip->tabular.find(lowerAscii(file));
        if (found == m_zip->tabular.end())
            return std::nullopt;
        return m_zip->read(m_name, found->second);
    }
    const auto path = findInFolder(m_tabular, file);
    if (!path)
        return std::nullopt;
    return readWhole(*path);
}

std::vector<std::string> DownloadFiles::tabularFiles() const
{
    std::vector<std::string> files;
    if (m_zip) {
        for (const auto& [name, index] : m_zip->tabular)
            files.push_back(zip_get_name(m_zip->archive.get(), index, ZIP_FL_ENC_GUESS));
        for (auto& file : files)
            file = file.substr(file.rfind('/') == std::string::npos ? 0 : file.rfind('/') + 1);
    } else {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(m_tabular, error))
            if (!entry.is_directory())
                files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string DownloadFiles::describe(const std::string& file) const
{
    return m_zip ? m_name + ": tabular/" + file : (m_tabular / file).string();
}

std::vector<std::string> DownloadFiles::polygonFiles() const
{
    std::vector<std::string> files;
    if (m_zip) {
        for (const auto& [name, index] : m_zip->spatial)
            files.push_back(name);
    } else if (!m_spatial.empty()) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(m_spatial, error))
            if (entry.is_regular_file() && isPolygonFile(entry.path().filename().string()))
                files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string DownloadFiles::spatial(const std::string& file) const
{
    if (m_zip)
        return m_zip->read(m_name, m_zip->spatial.at(file));
    return readWhole(m_spatial / file);
}

} // namespace qln::download
