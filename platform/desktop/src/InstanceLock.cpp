#include "quillon/desktop/InstanceLock.h"

#include "quillon/desktop/Folders.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace qln::desktop {

std::optional<InstanceLock> InstanceLock::tryAcquire(std::string_view name)
{
    if (name.empty() || name.find('/') != std::string_view::npos)
        throw DesktopError("\"" + std::string(name) + "\" is not a lock name");
    const auto file = privateRuntimeFolder("quillon-desktop") / (std::string(name) + ".lock");
    // O_CLOEXEC: a program started by the holder must not keep the lock after it ends.
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) throw DesktopError("Cannot open the lock file " + file.string() + ": " + std::strerror(errno));
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) return std::nullopt;
        throw DesktopError("Cannot lock " + file.string() + ": " + std::strerror(error));
    }
    return InstanceLock(fd);
}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0) ::close(m_fd);
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{
}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

} // namespace qln::desktop
