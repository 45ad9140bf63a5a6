#pragma once

#include "quillon/registry/Registry.h"

#include <memory>
#include <string_view>

namespace qln::registry {

// Waits on the calling thread for changes of a key and of its sub-keys: a value written or
// removed, a sub-key created or deleted, the key itself deleted. For threads that run their
// own wait loop (Watcher runs one around a callback). Changes made while nobody waits are
// kept, so the next wait() returns at once; one return may stand for several changes.
class ChangeMonitor {
public:
    // Throws RegistryError when the key does not exist or cannot be watched.
    ChangeMonitor(const Store& store, Hive hive, std::string_view key);
    ~ChangeMonitor();
    ChangeMonitor(const ChangeMonitor&) = delete;
    ChangeMonitor& operator=(const ChangeMonitor&) = delete;

    // Blocks until the next change (true) or until interrupt() (false). Throws RegistryError
    // when the wait itself fails.
    bool wait();
    // Ends the current wait and every later one with false; safe from any thread.
    void interrupt();
    // False once the watched key itself has been deleted: no later change will be seen.
    bool keyWatched() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace qln::registry
