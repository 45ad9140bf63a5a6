#include "quillon/registry/Registry.h"

#include "Layout.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace qln::registry {

namespace fs = std::filesystem;

namespace {

// Values are renamed into place and keys renamed into place or away, so renames, creations
// and deletions are all that matter; the self events tell that the watched key itself went.
constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

// Threading: the watch table belongs to the constructor until the thread starts and to the
// thread afterwards. `stopping` is the only state both sides touch. onChange is never called
// once stopping is set, and stop() joins the thread, so no call can follow its return.
struct Watcher::Impl {
    std::function<void()> onChange;
    fs::path keyFolder;
    int inotifyFd = -1;
    int wakeFd = -1;
    std::unordered_map<int, fs::path> folders; // watch descriptor -> key folder
    std::atomic<bool> stopping{false};
    std::mutex stopMutex;
    std::thread thread;

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
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) return true;
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

    void run()
    {
        pollfd waits[2] = {{inotifyFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        while (!stopping) {
            if (::poll(waits, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (waits[1].revents != 0) return;
            if (readEvents() && !stopping) {
                // An exception must not end the process from this thread; there is no one
                // to hand it to, so the watch carries on.
                try {
                    onChange();
                } catch (...) {
                }
            }
        }
    }
};

Watcher::Watcher(const Store& store, Hive hive, std::string_view key, std::function<void()> onChange)
    : m_impl(std::make_unique<Impl>())
{
    // The caller means to watch this key, so a key that does not exist yet is created.
    Store(store).createKey(hive, key);
    m_impl->onChange = std::move(onChange);
    m_impl->keyFolder = store.keyFolder(hive, key);
    m_impl->inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_impl->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const int err = m_impl->inotifyFd < 0 || m_impl->wakeFd < 0 ? errno : m_impl->watchTree(m_impl->keyFolder);
    if (err != 0)
        throw RegistryError("Cannot watch registry key " + m_impl->keyFolder.string() + ": " +
                            std::generic_category().message(err));
    m_impl->thread = std::thread([impl = m_impl.get()] { impl->run(); });
}

Watcher::~Watcher()
{
    stop();
}

void Watcher::stop()
{
    m_impl->stopping = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_impl->wakeFd, &one, sizeof one);
    // Called from onChange itself, the thread ends when the callback returns; it cannot
    // wait for itself.
    const std::lock_guard lock(m_impl->stopMutex);
    if (m_impl->thread.joinable() && m_impl->thread.get_id() != std::this_thread::get_id())
        m_impl->thread.join();
}

} // namespace qln::registry
