// Registry change notification: one thread per watch, ended by the watch flag.

#include "Keys.h"
#include "Report.h"
#include "quillon/registry/ChangeMonitor.h"
#include "quillon/utils/AmbUtil.h"

#include <atomic>
#include <cerrno>
#include <memory>
#include <system_error>
#include <thread>

using namespace qln::ambutil;

namespace {

constexpr const char* kProcedure = "RegistryChanged";
constexpr const char* kSetupFailed = "Unable to setup the change notification.\nCheck the permissions to be able to "
                                     "receive a NOTIFY on the registry key.";

// One flag for every watch of the process. A watcher reads it only after a change, so a
// stale read costs at most one more callback; no lock is needed.
std::atomic<bool> g_watching{false};

// Owned by its thread, which frees it (closing the monitor's descriptors) as it ends.
struct WatchRecord {
    RegChangeCallback callback;
    std::unique_ptr<qln::registry::ChangeMonitor> monitor;
};

void watch(std::unique_ptr<WatchRecord> record)
{
    for (;;) {
        // A deleted key can be watched no longer: nothing could ever end this thread.
        if (!record->monitor->keyWatched()) {
            report(gmrERR, kProcedure, kTextMessage, kSetupFailed, ENOENT);
            return;
        }
        bool changed = false;
        try {
            errno = 0;
            changed = record->monitor->wait();
        } catch (const qln::registry::RegistryError&) {
        }
        if (!changed) {
            report(gmrERR, kProcedure, kTextMessage, "The wait for the registry change event failed.", failureCode());
            return;
        }
        if (!g_watching.load(std::memory_order_relaxed)) return;
        // The callback is plain C; whatever a C++ one throws must not end the process here.
        try {
            record->callback();
        } catch (...) {
        }
    }
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
        auto record = std::make_unique<WatchRecord>(WatchRecord{callback, nullptr});
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
            std::thread(watch, std::move(record)).detach();
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
    g_watching = false;
}

} // extern "C"
