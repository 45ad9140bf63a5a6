#include "StagedFiles.h"

#include "quillon/gis/GisError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

namespace qln::gis::detail {

namespace {

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path, int error)
{
    throw GisError("Cannot " + what + " " + path.string() + ": " + std::strerror(error));
}

void syncPath(const std::filesystem::path& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        fail("write", path, errno);
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (synced != 0 && error != EINVAL)
        fail("write", path, error);
}

} // namespace

StagedFiles::StagedFiles(const std::filesystem::path& destination, const std::string& stem)
    : m_destination(destination.empty() ? std::filesystem::path(".") : destination)
{
    std::error_code error;
    if (!std::filesystem::is_directory(m_destination, error))
        throw GisError("The folder " + m_destination.string() + " does not exist");
    std::string pattern = (m_destination / ("." + stem.substr(0, 100) + ".XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw GisError("Cannot write to the folder " + m_destination.string() + ": " + std::strerror(errno));
    m_folder = pattern;
}

StagedFiles::~StagedFiles()
{
    std::error_code error;
    const std::filesystem::path old = m_folder / "old";
    if (!m_committed && std::filesystem::exists(old, error) && !std::filesystem::is_empty(old, error))
        return;  // an old file that could not be put back: left for the user to find
    std::filesystem::remove_all(m_folder, error);
}

void StagedFiles::commit(const std::vector<std::string>& stale)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder))
        if (entry.is_regular_file())
            names.push_back(entry.path().filename().string());
    for (const auto& name : names)
        syncPath(m_folder / name, O_RDONLY);

    // Old files that are in the way are kept under "old" until the new set is in place:
    // hard links where the file system has them (the name never goes missing), else moved.
    const std::filesystem::path old = m_folder / "old";
    if (::mkdir(old.c_str(), 0700) != 0)
        fail("write to the folder", m_folder, errno);
    std::set<std::string> affected(names.begin(), names.end());
    affected.insert(stale.begin(), stale.end());
    std::vector<std::string> keptAside;  // moved away: must come back on failure
    std::vector<std::string> linked;     // still in place, a copy kept under "old"
    const auto restore = [&](const std::vector<std::string>& placed) {
        for (const auto& name : placed)
            ::unlink((m_destination / name).c_str());
        // A link whose name was never replaced is the same file as the one in place: the
        // rename does nothing then, and the spare link goes.
        for (const auto& name : linked) {
            ::rename((old / name).c_str(), (m_destination / name).c_str());
            struct stat kept {}, inPlace {};
            if (::lstat((old / name).c_str(), &kept) == 0 && ::lstat((m_destination / name).c_str(), &inPlace) == 0 &&
                kept.st_dev == inPlace.st_dev && kept.st_ino == inPlace.st_ino)
                ::unlink((old / name).c_str());
        }
        for (const auto& name : keptAside)
            ::rename((old / name).c_str(), (m_destination / name).c_str());
    };
    for (const auto& name : affected) {
        const std::filesystem::path target = m_destination / name;
        struct stat status {};
        if (::lstat(target.c_str(), &status) != 0)
            continue;
        if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) {
            restore({});
            throw GisError("Cannot replace " + target.string() + ": it is not a file");
        }
        const bool replaced = std::find(names.begin(), names.end(), name) != names.end();
        if (replaced && ::link(target.c_str(), (old / name).c_str()) == 0) {
            linked.push_back(name);
            continue;
        }
        if (::rename(target.c_str(), (old / name).c_str()) != 0) {
            const int error = errno;
            restore({});
            fail("replace", target, error);
        }
        keptAside.push_back(name);
    }

    // The .shp goes last: a reader that finds it finds the rest of the set.
    std::stable_partition(names.begin(), names.end(), [](const std::string& n) {
        const auto dot = n.rfind('.');
        return dot == std::string::npos || (n.substr(dot) != ".shp" && n.substr(dot) != ".SHP");
    });
    std::vector<std::string> placed;
    for (const auto& name : names) {
        if (::rename((m_folder / name).c_str(), (m_destination / name).c_str()) != 0) {
            const int error = errno;
            restore(placed);
            fail("write", m_destination / name, error);
        }
        placed.push_back(name);
    }
    m_committed = true;
    syncPath(m_destination, O_RDONLY | O_DIRECTORY);
}

} // namespace qln::gis::detail
