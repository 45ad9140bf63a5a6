#pragma once

// A per-user lock that lets one process through where two may start at the same moment:
//   auto lock = InstanceLock::tryAcquire("quillon");   // nothing when another holds it
// The lock is held until the object is destroyed or the process ends (even by a crash).

#include <optional>
#include <string_view>

namespace qln::desktop {

class InstanceLock {
public:
    // Nothing when another process of this user holds the lock of that name. Throws
    // DesktopError when the lock file cannot be opened (the message names it).
    static std::optional<InstanceLock> tryAcquire(std::string_view name);

    ~InstanceLock();
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

private:
    explicit InstanceLock(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

} // namespace qln::desktop
