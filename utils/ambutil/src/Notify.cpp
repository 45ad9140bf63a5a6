// Registry change notification: one thread per watch. A stop clears the process's watch
// flag, interrupts every watch and waits for its thread to end.

#include "Keys.h"
#include "Report.h"
#include "quillon/registry/ChangeMonitor.h"
#include "quillon/utils/AmbUtil.h"

#include <atomic>
#include <cerrno>
#include <list>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

using namespace qln::ambutil;

namespace {

constexpr const char* kProcedure = "RegistryChanged";
constexpr const char* kSetupFailed = "Unable to setup the change notification.\nCheck the permissions to be able to "
                                     "receive a NOTIFY on the registry key.";

// One flag for every watch of the process; a watcher reads it after each change.
std::atomic<bool> g_watching{false};

// Shared by the watch's thread and the list of watches. The monitor is closed by the thread
// as it ends, under the list's lock, so that a stop never interrupts a closed one.
struct Watch {
    RegChangeCallback callback;
    std::unique_ptr<qln::registry::ChangeMonitor> monitor;
    std::thread thread;
};

// Every watch started and not yet joined. Stopping takes them all, interrupts them and joins
// their threads, so no callback runs once StopRegChangeNotifications has returned. The list
// ends the same way when the library is unloaded or the process exits.
class Watches {
public:
    ~Watches() { stop(); }

    void start(const std::shared_ptr<Watch>& watch, void (*run)(std::shared_ptr<Watch>))
    {
        std::list<std::shared_ptr<Watch>> ended;
        {
            const std::lock_guard lock(m_mutex);
            // Watches that ended on their own (their key deleted) are joined here.
            for (auto it = m_watches.begin(); it != m_watches.end();) {
                const auto next = std::next(it);
                if (!(*it)->monitor)
                    ended.splice(ended.end(), m_watches, it);
                it = next;
            }
            watch->thread = std::thread(run, watch);
            m_watches.push_back(watch);
        }
        joinAll(ended);
    }

    void stop()
    {
        std::list<std::shared_ptr<Watch>> stopping;
        {
            const std::lock_guard lock(m_mutex);
            g_watching = false;
            for (const auto& watch : m_watches)
                if (watch->monitor)
                    watch->monitor->interrupt();
            stopping.swap(m_watches);
        }
        joinAll(stopping);
    }

    // Called by a watch's thread as it leaves.
    void close(Watch& watch)
    {
        const std::lock_guard lock(m_mutex);
        watch.monitor.reset();
    }

private:
    static void joinAll(std::list<std::shared_ptr<Watch>>& watches)
    {
        for (const auto& watch : watches) {
            if (!watch->thread.joinable())
                continue;
            // A callback that stops the watches cannot wait for its own thread, which ends
            // as soon as the callback returns.
            if (watch->thread.get_id() == std::this_thread::get_id())
                watch->thread.detach();
            else
                watch->thread.join();
        }
    }

    std::mutex m_mutex;
    std::list<std::shared_ptr<Watch>> m_watches;
};

Watches g_watches;

void watch(std::shared_ptr<Watch> record)
{
    for (;;) {
        // A deleted key can be watched no longer.
        if (!record->monitor->keyWatched()) {
            report(gmrERR, kProcedure, kTextMessage, kSetupFailed, ENOENT);
            break;
        }
        bool changed = false;
        try {
            errno = 0;
            changed = record->monitor->wait();
        } catch (const qln::registry::RegistryError&) {
            report(gmrERR, kProcedure, kTextMessage, "The wait for the registry change event failed.", failureCode());
            break;
        }
        // Interrupted by a stop, or a change seen after one.
        if (!changed || !g_watching.load()) break;
        // The callback is plain C; whatever a C++ one throws must not end the process here.
        try {
            record->callback();
        } catch (...) {
        }
    }
    g_watches.close(*record);
}

} // namespace

extern "C" {

std::int32_t NotifyChangeKey(std::uint32_t hive, const char* key, std::int32_t /*notifyFilter*/,
                             RegChangeCallback callback)
{
    try {
        if (!callback) {
            report(gmrERR, kProcedure, kTextMessage, "No function to call was given for the registry change notification.");
            return 0;
        }
        const auto opened = OpenRegistryKey(hive, text(key), kNotifyAccess);
        if (!opened) return 0;
        auto record = std::make_shared<Watch>();
        record->callback = callback;
        try {
            errno = 0;
            record->monitor = std::make_unique<qln::registry::ChangeMonitor>(opened->store, opened->hive, opened->path);
        } catch (const qln::registry::RegistryError&) {
            report(gmrERR, kProcedure, kTextMessage, kSetupFailed, failureCode());
            return 0;
        }
        // Armed before the thread runs, so that a change at once is not taken for a stop.
        g_watching = true;
        try {
            g_watches.start(record, watch);
        } catch (const std::system_error& error) {
            report(gmrERR, kProcedure, kTextMessage, "Unable to create the thread to camp on the registry change event.",
                   error.code().value());
            return 0;
        }
        return 1;
    } catch (...) {
        return 0;
    }
}

void StopRegChangeNotifications()
{
    g_watches.stop();
}

} // extern "C"
