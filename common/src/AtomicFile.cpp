#include "quillon/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>

namespace qln {
namespace {

std::string reason(int error)
{
    return std::strerror(error);
}

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path, int error)
{
    throw OutputError("Cannot " + what + " " + path.string() + ": " + reason(error), error);
}

// The file a chain of symbolic links ends at (the path itself when it is no link).
std::filesystem::path followLinks(std::filesystem::path path)
{
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        std::error_code error;
        const std::filesystem::path link = std::filesystem::read_symlink(path, error);
        if (error)
            fail("follow the link", path, error.value());
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    fail("follow the link", path, ELOOP);
}

// Permission bits a newly created file gets: 0666 less the process's umask, read without
// changing it (umask() would race with other threads creating files).
mode_t newFileMode()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) != 0)
            continue;
        const auto first = line.find_first_not_of(" \t", 6);
        unsigned mask = 0;
        if (first != std::string::npos &&
            std::from_chars(line.data() + first, line.data() + line.size(), mask, 8).ec == std::errc())
            return static_cast<mode_t>(0666 & ~mask);
    }
    return 0644;
}

} // namespace

void refuseOutputOverInputs(const std::filesystem::path& target, const std::vector<std::filesystem::path>& inputs)
{
    struct stat out {};
    if (::stat(target.c_str(), &out) != 0)
        return;
    for (const auto& input : inputs) {
        struct stat in {};
        if (!input.empty() && ::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            throw OutputIsInputError("The output " + target.string() + " is the same file as the input " +
                                     input.string() + "; choose another output.");
    }
}

void refuseOutputsOverInputs(const std::vector<std::filesystem::path>& outputs,
                             const std::vector<std::filesystem::path>& inputs)
{
    // What identifies an output: its file when it exists, else the name it will be given.
    const auto identity = [](const std::filesystem::path& path) -> std::optional<std::string> {
        struct stat status {};
        if (::stat(path.c_str(), &status) == 0)
            return S_ISREG(status.st_mode)
                       ? std::optional<std::string>(std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino))
                       : std::nullopt;
        std::error_code ignored;
        return std::filesystem::weakly_canonical(path, ignored).string();
    };
    std::map<std::string, std::filesystem::path> seen;
    for (const auto& output : outputs) {
        if (output.empty())
            continue;
        refuseOutputOverInputs(output, inputs);
        const auto id = identity(output);
        if (!id)
            continue;
        const auto [earlier, added] = seen.emplace(*id, output);
        if (!added)
            throw OutputIsInputError("The outputs " + earlier->second.string() + " and " + output.string() +
                                     " are the same file; choose another for one of them.");
    }
}

void writeAll(int fd, std::string_view bytes, const std::string& name)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            throw OutputError("Cannot write " + name + ": " + reason(error), error);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

AtomicFile::AtomicFile(const std::filesystem::path& target, Links links)
    : m_named(target), m_target(links == Links::Follow ? followLinks(target) : target)
{
    struct stat existing {};
    const bool exists = (links == Links::Follow ? ::stat(m_target.c_str(), &existing)
                                                : ::lstat(m_target.c_str(), &existing)) == 0 &&
                        !S_ISLNK(existing.st_mode);
    if (exists && S_ISDIR(existing.st_mode))
        fail("write", m_named, EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) {
        m_fd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (m_fd < 0)
            fail("open", m_named, errno);
        return;
    }

    const std::filesystem::path folder = m_target.has_parent_path() ? m_target.parent_path() : ".";
    std::string pattern = (folder / ("." + m_target.filename().string().substr(0, 200) + ".XXXXXX")).string();
    // mkostemp creates with O_EXCL: a name planted as a link is never followed.
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0)
        fail("create a temporary file for", m_named, errno);
    m_temporary = pattern;
    const mode_t mode = exists ? (existing.st_mode & 07777) : newFileMode();
    if (::fchmod(m_fd, mode) != 0) {
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        ::unlink(m_temporary.c_str());
        fail("set the permissions of", m_temporary, error);
    }
}

AtomicFile::~AtomicFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
}

void AtomicFile::write(std::string_view bytes)
{
    if (m_fd < 0)
        fail("write", m_named, EBADF);
    writeAll(m_fd, bytes, m_named.string());
}

void AtomicFile::commit()
{
    if (m_fd < 0)
        fail("write", m_named, EBADF);
    const bool inPlace = m_temporary.empty();
    // Devices and FIFOs cannot be synced; their write errors have already shown.
    if (!inPlace && ::fsync(m_fd) != 0)
        fail("write", m_named, errno);
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0 && errno != EINTR)
        fail("write", m_named, errno);
    if (inPlace)
        return;
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        fail("replace", m_named, errno);
    m_temporary.clear();
    // The rename itself reaches the disk with the folder's entry.
    syncFolder(m_target.has_parent_path() ? m_target.parent_path() : ".");
}

void syncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace qln
