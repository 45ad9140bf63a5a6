#include "quillon/desktop/Folders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qln::desktop {

namespace {

std::string describe(const std::filesystem::path& folder, const std::string& problem)
{
    return "The folder " + folder.string() + " " + problem;
}

} // namespace

std::filesystem::path temporaryFolder()
{
    std::error_code error;
    auto folder = std::filesystem::temp_directory_path(error);
    if (error || !std::filesystem::is_directory(folder, error))
        throw DesktopError("The temporary folder " + folder.string() + " does not exist");
    return folder;
}

std::filesystem::path privateRuntimeFolder(std::string_view name)
{
    if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..")
        throw DesktopError("\"" + std::string(name) + "\" is not a folder name");

    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::filesystem::path folder;
    if (runtime && *runtime && std::filesystem::path(runtime).is_absolute())
        folder = std::filesystem::path(runtime) / name;
    else
        folder = temporaryFolder() / (std::string(name) + "-" + std::to_string(::getuid()));

    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw DesktopError(describe(folder, std::string("cannot be made: ") + std::strerror(errno)));

    // lstat, not stat: a link planted in a shared temporary folder must not be followed.
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0)
        throw DesktopError(describe(folder, std::string("cannot be read: ") + std::strerror(errno)));
    if (!S_ISDIR(info.st_mode)) throw DesktopError(describe(folder, "is not a folder"));
    if (info.st_uid != ::getuid()) throw DesktopError(describe(folder, "belongs to another user"));
    if ((info.st_mode & 077) != 0) throw DesktopError(describe(folder, "is open to other users"));
    return folder;
}

} // namespace qln::desktop
