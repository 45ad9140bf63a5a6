#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qln::ado::detail {

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

[[noreturn]] void failStart(const std::filesystem::path& program, const char* what)
{
    throw std::runtime_error(std::string("cannot start '") + program.string() + "': " + what + ": " +
                             std::strerror(errno));
}

// Between fork and exec only async-signal-safe calls: everything the child needs is
// prepared before the fork.
[[noreturn]] void becomeChild(const char* program, char* const* argv, int reportFd, int nullFd,
                              const ChildLimits& limits)
{
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (limits.addressSpace > 0) {
        const rlimit memory{limits.addressSpace, limits.addressSpace};
        ::setrlimit(RLIMIT_AS, &memory);
    }
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    // SIGXCPU at the soft limit, SIGKILL a second later should the child catch it.
    const auto seconds = static_cast<rlim_t>(std::max<long long>(1, (limits.cpuTime.count() + 999) / 1000));
    const rlimit cpu{seconds, seconds + 1};
    ::setrlimit(RLIMIT_CPU, &cpu);
    // Descriptor 3 first: the report pipe may itself sit on 0, 1 or 2.
    if (::dup2(reportFd, 3) < 0 || ::dup2(nullFd, 0) < 0 || ::dup2(nullFd, 1) < 0 || ::dup2(nullFd, 2) < 0)
        ::_exit(kChildCannotStart);
    ::execv(program, argv);
    ::_exit(kChildCannotStart);
}

} // namespace

ChildOutcome runChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                      const ChildLimits& limits)
{
    std::vector<std::string> words;
    words.push_back(program.string());
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        failStart(program, "pipe");
    Fd reader(ends[0]);
    Fd writer(ends[1]);
    Fd null(::open("/dev/null", O_RDWR | O_CLOEXEC));
    if (null.get() < 0)
        failStart(program, "/dev/null");

    const pid_t pid = ::fork();
    if (pid < 0)
        failStart(program, "fork");
    if (pid == 0)
        becomeChild(argv[0], argv.data(), writer.get(), null.get(), limits);
    // Whichever of us gets there first puts the child in its own group.
    ::setpgid(pid, pid);
    writer.reset();

    ChildOutcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + limits.wallTime;
    auto remaining = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    };
    bool open = true;
    int status = 0;
    for (;;) {
        if (remaining().count() <= 0) {
            ::kill(-pid, SIGKILL);
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            outcome.ending = ChildOutcome::Ending::TimedOut;
            return outcome;
        }
        if (open) {
            pollfd watch{reader.get(), POLLIN, 0};
            const int ready = ::poll(&watch, 1, static_cast<int>(std::min<long long>(remaining().count(), 100)));
            if (ready > 0) {
                char buffer[4096];
                const ssize_t got = ::read(reader.get(), buffer, sizeof buffer);
                if (got > 0) {
                    const std::size_t room = kChildReportLimit - std::min(kChildReportLimit, outcome.report.size());
                    outcome.report.append(buffer, std::min(room, static_cast<std::size_t>(got)));
                } else if (got == 0 || errno != EINTR) {
                    open = false;
                }
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
    }
    // What is left in the pipe after the child ended.
    if (open) {
        char buffer[4096];
        ssize_t got;
        ::fcntl(reader.get(), F_SETFL, O_NONBLOCK);
        while ((got = ::read(reader.get(), buffer, sizeof buffer)) > 0) {
            const std::size_t room = kChildReportLimit - std::min(kChildReportLimit, outcome.report.size());
            outcome.report.append(buffer, std::min(room, static_cast<std::size_t>(got)));
        }
    }
    if (WIFSIGNALED(status)) {
        outcome.ending = ChildOutcome::Ending::Signalled;
        outcome.signal = WTERMSIG(status);
    } else {
        outcome.exitCode = WEXITSTATUS(status);
    }
    return outcome;
}

std::string describeEnding(const ChildOutcome& outcome, const ChildLimits& limits)
{
    switch (outcome.ending) {
    case ChildOutcome::Ending::TimedOut:
        return "reading it took longer than " + std::to_string(limits.wallTime.count() / 1000) + " s";
    case ChildOutcome::Ending::Signalled:
        if (outcome.signal == SIGXCPU)
            return "reading it took more than " + std::to_string((limits.cpuTime.count() + 999) / 1000) +
                   " s of processor time";
        return "the reader stopped with signal " + std::to_string(outcome.signal) + " (" +
               ::strsignal(outcome.signal) + ")";
    case ChildOutcome::Ending::Exited:
        break;
    }
    return "the reader ended with status " + std::to_string(outcome.exitCode);
}

} // namespace qln::ado::detail
