#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qln::ado::detail {

// Bounds on a child process. Processor time catches a loop whatever the machine's load
// (whole seconds, at least one); the wall-clock time, which should be far longer, catches
// a child that waits forever. An address space of 0 sets no memory limit.
struct ChildLimits {
    std::uint64_t addressSpace = 0;
    std::chrono::milliseconds cpuTime{10000};
    std::chrono::milliseconds wallTime{60000};
};

// How a child ended, and the text it wrote to its report channel (file descriptor 3,
// at most kChildReportLimit bytes kept).
struct ChildOutcome {
    enum class Ending { Exited, Signalled, TimedOut };
    Ending ending = Ending::Exited;
    int exitCode = 0;
    int signal = 0;
    std::string report;
};

inline constexpr std::size_t kChildReportLimit = 16 * 1024;
// The exit status of a child whose program could not be executed.
inline constexpr int kChildCannotStart = 127;

// Runs `program` with `arguments` in a process group of its own, its standard input,
// output and error on /dev/null and its report channel on a pipe to us, under `limits`.
// A child that outlives its time is killed with its whole group. Errors (the program
// cannot be started) are std::runtime_error.
ChildOutcome runChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                      const ChildLimits& limits);

// One line for a message: "it stopped with signal 11 (Segmentation fault)" and the like.
std::string describeEnding(const ChildOutcome& outcome, const ChildLimits& limits);

} // namespace qln::ado::detail
