#include "AtomicFile.h"

#include "quillon/desktop/Folders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace qln::desktop::detail {

void replaceFile(const std::filesystem::path& file, std::string_view contents)
{
    std::string temporary = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) throw DesktopError("Cannot write " + file.string() + ": " + std::strerror(errno));

    auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw DesktopError("Cannot write " + file.string() + ": " + std::strerror(error));
    };
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(errno);
        written += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw DesktopError("Cannot write " + file.string() + ": " + std::strerror(error));
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw DesktopError("Cannot write " + file.string() + ": " + std::strerror(error));
    }
}

} // namespace qln::desktop::detail
