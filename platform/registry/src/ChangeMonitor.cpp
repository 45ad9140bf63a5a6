#include "quillon/registry/ChangeMonitor.h"

#include "Layout.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <system_error>
#include <unistd.h>
#include <unordered_map>

namespace qln::registry {

namespace fs = std::filesystem;

namespace {

// Values are renamed into place and keys renamed into place or away, so renames, creations
// and deletions are all that matter; the self events tell that a watched key itself went.
constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

// The watch table belongs to the waiting thread; interrupt() touches only the wake fd.
struct ChangeMonitor::Impl {
    fs::path keyFolder;
    int inotifyFd = -1;
    int wakeFd = -1;
    int keyWatch = -1;
    bool keyGone = false;
    std::unordered_map<int, fs::path> folders; // watch descriptor -> key folder

    ~Impl()
    {
        if (inotifyFd >= 0) ::close(inotifyFd);
        if (wakeFd >= 0) ::close(wakeFd);
    }

    // Watches a key folder and every sub-key folder below it. The watch goes on before the
    // folder is listed, so a sub-key created meanwhile shows up in one or the other.
    // Returns the errno of the first failure, 0 when all went well.
    int watchTree(const fs::path& folder)
    {
        const int wd = ::inotify_add_watch(inotifyFd, folder.c_str(), kWatchMask);
        if (wd < 0) return errno;
        folders[wd] = folder;
        if (folder == keyFolder) keyWatch = wd;
        int result = 0;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            if (!it->path().filename().string().starts_with(layout::kKeyPrefix)) continue;
            const int err = watchTree(it->path());
            // A sub-key deleted before its watch was placed is no failure.
            if (result == 0 && err != ENOENT && err != ENOTDIR) result = err;
        }
        return result;
    }

    // Reads every pending event, adding watches for new sub-keys; true when any of them is
    // a change to report.
    bool readEvents()
    {
        alignas(inotify_event) char buffer[16384];
        bool changed = false;
        for (;;) {
            const ssize_t length = ::read(inotifyFd, buffer, sizeof buffer);
            if (length < 0 && errno == EINTR) continue;
            if (length <= 0) return changed;
            for (ssize_t offset = 0; offset < length;) {
                inotify_event event;
                std::memcpy(&event, buffer + offset, sizeof event);
                const std::string_view name = event.len ? std::string_view(buffer + offset + sizeof event) : "";
                offset += static_cast<ssize_t>(sizeof event + event.len);
                changed = handle(event, name) || changed;
            }
        }
    }

    bool handle(const inotify_event& event, std::string_view name)
    {
        if (event.mask & IN_Q_OVERFLOW) {
            // Events were lost, sub-key creations perhaps among them: look at the tree again.
            watchTree(keyFolder);
            return true;
        }
        if (event.mask & IN_IGNORED) {
            folders.erase(event.wd);
            return false;
        }
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
            if (event.wd == keyWatch) keyGone = true;
            return true;
        }
        if (layout::isHousekeeping(name)) return false;
        const auto folder = folders.find(event.wd);
        if ((event.mask & IN_ISDIR) && (event.mask & (IN_CREATE | IN_MOVED_TO)) &&
            name.starts_with(layout::kKeyPrefix) && folder != folders.end()) {
            // Nothing to report to if a watch cannot be placed; the limit of watches is
            // the only likely cause, and the other keys stay watched.
            watchTree(folder->second / name);
        }
        return true;
    }
};

ChangeMonitor::ChangeMonitor(const Store& store, Hive hive, std::string_view key) : m_impl(std::make_unique<Impl>())
{
    m_impl->keyFolder = store.keyFolder(hive, key);
    m_impl->inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_impl->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const int err = m_impl->inotifyFd < 0 || m_impl->wakeFd < 0 ? errno : m_impl->watchTree(m_impl->keyFolder);
    if (err != 0)
        throw RegistryError("Cannot watch registry key " + m_impl->keyFolder.string() + ": " +
                            std::generic_category().message(err));
}

ChangeMonitor::~ChangeMonitor() = default;

bool ChangeMonitor::wait()
{
    pollfd waits[2] = {{m_impl->inotifyFd, POLLIN, 0}, {m_impl->wakeFd, POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            throw RegistryError("Cannot wait for changes of registry key " + m_impl->keyFolder.string() + ": " +
                                std::generic_category().message(errno));
        }
        if (waits[1].revents != 0) return false;
        if (m_impl->readEvents()) return true;
    }
}

void ChangeMonitor::interrupt()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_impl->wakeFd, &one, sizeof one);
}

bool ChangeMonitor::keyWatched() const
{
    return !m_impl->keyGone;
}

} // namespace qln::registry
