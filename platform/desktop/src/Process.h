#pragma once

#include <cstdint>
#include <optional>
#include <sys/types.h>

namespace qln::desktop::detail {

// The start time of a process in clock ticks since boot, which tells a live process from
// a later one that reuses its number; nothing when there is no such running process
// (ended, or a zombie waiting for its parent).
std::optional<std::uint64_t> processStartTime(pid_t process);

// True when the process runs and started at that time.
bool processAlive(pid_t process, std::uint64_t startTime);

} // namespace qln::desktop::detail
