#include "quillon/registry/ChangeMonitor.h"
#include "quillon/registry/Registry.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

namespace qln::registry {

// Threading: the monitor belongs to the constructor until the thread starts and to the
// thread afterwards, but for interrupt(). `stopping` is the only state both sides touch.
// onChange is never called once stopping is set, and stop() joins the thread, so no call can
// follow its return.
struct Watcher::Impl {
    std::function<void()> onChange;
    std::optional<ChangeMonitor> monitor;
    std::atomic<bool> stopping{false};
    std::mutex stopMutex;
    std::thread thread;

    void run()
    {
        while (!stopping) {
            try {
                if (!monitor->wait() || stopping) return;
            } catch (const RegistryError&) {
                return;
            }
            // An exception must not end the process from this thread; there is no one
            // to hand it to, so the watch carries on.
            try {
                onChange();
            } catch (...) {
            }
        }
    }
};

Watcher::Watcher(const Store& store, Hive hive, std::string_view key, std::function<void()> onChange)
    : m_impl(std::make_shared<Impl>())
{
    // The caller means to watch this key, so a key that does not exist yet is created.
    Store(store).createKey(hive, key);
    m_impl->onChange = std::move(onChange);
    m_impl->monitor.emplace(store, hive, key);
    m_impl->thread = std::thread([impl = m_impl] { impl->run(); });
}

Watcher::~Watcher()
{
    stop();
}

void Watcher::stop()
{
    m_impl->stopping = true;
    m_impl->monitor->interrupt();
    // Called from onChange itself, the thread ends when the callback returns; it cannot
    // wait for itself, so it is let go, keeping the state it runs on alive to its end.
    const std::lock_guard lock(m_impl->stopMutex);
    if (!m_impl->thread.joinable()) return;
    if (m_impl->thread.get_id() == std::this_thread::get_id())
        m_impl->thread.detach();
    else
        m_impl->thread.join();
}

} // namespace qln::registry
