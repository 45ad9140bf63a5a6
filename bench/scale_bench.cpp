// Rating runs of quillon-rate as a user starts them, each method, one child process per run:
// wall time and peak resident memory of the child against the time the soils database alone
// needs to return the rows of the run's queries: the map-unit list and the SHAPE levels.
// Run: quillon_scale_bench SOILS [--rules FILE] [--threads N] [--batch N] [--save DIR]
//   SOILS: a file (quillon-sample --preset state, or --mapunits 160000) or a postgresql://
//   address (bench/scale_bench_server.sh loads a file into a throw-away server and runs
//   this); --save keeps each run's CSV so that two builds or databases compare byte for byte.
//   A file is rated twice: as it is, then as SOILS.noindex.sqlite, a copy without indexes
//   made beside it (its CSVs end in _noindex and must equal the others).
#include "BenchRuns.h"
#include "quillon/ado/DataSources.h"
#include "quillon/ado/ServerAddress.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct ChildRun {
    double seconds = 0;
    double peakMB = 0;
    int status = -1;
};

// Starts the runs from a helper process forked before this one reads any rows: the peak
// memory the kernel reports for a child includes the peak of the process that spawned it,
// and this one holds whole levels while it times the bare reads.
class Spawner {
public:
    Spawner()
    {
        int requests[2], replies[2];
        if (pipe(requests) != 0 || pipe(replies) != 0)
            throw std::runtime_error("cannot make the pipes of the spawner");
        m_pid = fork();
        if (m_pid < 0)
            throw std::runtime_error("cannot fork the spawner");
        if (m_pid == 0) {
            close(requests[1]);
            close(replies[0]);
            serve(requests[0], replies[1]);
            _exit(0);
        }
        close(requests[0]);
        close(replies[1]);
        m_requests = requests[1];
        m_replies = replies[0];
    }
    ~Spawner()
    {
        close(m_requests);
        close(m_replies);
        waitpid(m_pid, nullptr, 0);
    }
    Spawner(const Spawner&) = delete;
    Spawner& operator=(const Spawner&) = delete;

    // Runs the command (standard output discarded) and waits for it.
    ChildRun run(const std::vector<std::string>& args)
    {
        std::string request;
        for (const auto& a : args)
            request += a + '\0';
        const std::uint64_t size = request.size();
        ChildRun result;
        if (!writeAll(m_requests, &size, sizeof size) || !writeAll(m_requests, request.data(), request.size()) ||
            !readAll(m_replies, &result, sizeof result))
            throw std::runtime_error("the spawner stopped");
        return result;
    }

private:
    static bool writeAll(int fd, const void* data, std::size_t size)
    {
        const char* at = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t done = write(fd, at, size);
            if (done <= 0)
                return false;
            at += done;
            size -= static_cast<std::size_t>(done);
        }
        return true;
    }
    static bool readAll(int fd, void* data, std::size_t size)
    {
        char* at = static_cast<char*>(data);
        while (size > 0) {
            const ssize_t done = read(fd, at, size);
            if (done <= 0)
                return false;
            at += done;
            size -= static_cast<std::size_t>(done);
        }
        return true;
    }

    static void serve(int requests, int replies)
    {
        std::uint64_t size = 0;
        while (readAll(requests, &size, sizeof size)) {
            std::string request(size, '\0');
            if (!readAll(requests, request.data(), request.size()))
                return;
            std::vector<char*> argv;
            for (std::size_t at = 0; at < request.size(); at = request.find('\0', at) + 1)
                argv.push_back(request.data() + at);
            argv.push_back(nullptr);
            const ChildRun result = spawn(argv);
            if (!writeAll(replies, &result, sizeof result))
                return;
        }
    }

    static ChildRun spawn(std::vector<char*>& argv)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        ChildRun result;
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0)
            return result;
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        result.peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

    pid_t m_pid = -1;
    int m_requests = -1;
    int m_replies = -1;
};

// The quillon-rate command line of a case.
std::vector<std::string> rateArguments(const std::string& rate, const qln::bench::RateCase& c,
                                       const qln::bench::CaseInputs& inputs, const qln::bench::BenchOptions& options,
                                       int index, const std::string& tag)
{
    std::vector<std::string> args = {rate, "--soils", options.soils, "--rules", options.rules.string(),
                                     "--attribute", c.attribute};
    if (inputs.method >= 0)
        args.insert(args.end(), {"--method", c.method});
    if (c.top >= 0)
        args.insert(args.end(), {"--top", std::to_string(c.top), "--bottom", std::to_string(c.bottom)});
    if (c.beginMonth >= 0)
        args.insert(args.end(), {"--begin-month", std::to_string(c.beginMonth), "--end-month",
                                 std::to_string(c.endMonth)});
    if (options.threads)
        args.insert(args.end(), {"--threads", std::to_string(*options.threads)});
    if (options.batch)
        args.insert(args.end(), {"--batch", std::to_string(*options.batch)});
    if (options.save)
        args.insert(args.end(), {"--output", (*options.save / (std::to_string(index) + "_" + c.attribute + tag + ".csv"))
                                                 .string()});
    return args;
}

} // namespace

int main(int argc, char** argv)
{
    Spawner spawner;
    const auto options = qln::bench::parseBenchOptions(argc, argv, {"--rules", "--threads", "--batch", "--save"});
    if (!options)
        return 64;
    if (options->save)
        std::filesystem::create_directories(*options->save);
    const std::string rate =
        (std::filesystem::canonical("/proc/self/exe").parent_path() / "quillon-rate").string();
    qln::ado::defineDataSource(qln::engine::kRulesDataSource, options->rules);
    const auto ownEngine = qln::engine::createQuillon();
    qln::engine::clsQuillon& engine = *ownEngine;

    std::printf("%-11s %-19s %-10s %8s %8s %7s %8s %6s\n", "attribute", "method", "indexes", "run s", "read s",
                "ratio", "peak MB", "exit");
    // A file is rated as it is and as a copy without indexes, as an Access file's mirror is.
    std::vector<std::pair<std::string, std::string>> databases = {{options->soils, "as made"}};
    if (!qln::ado::isServerAddress(options->soils))
        databases.emplace_back(qln::bench::unindexedCopy(options->soils).string(), "none");
    for (const auto& [soils, indexes] : databases) {
        qln::bench::BenchOptions current = *options;
        current.soils = soils;
        const std::string tag = indexes == "none" ? "_noindex" : "";
        int index = 0;
        for (const auto& rateCase : qln::bench::rateCases()) {
            ++index;
            const auto inputs = qln::bench::prepareCase(engine, rateCase, current);
            // The run reads the map-unit list before its SHAPE levels.
            const double read =
                qln::bench::readTime(current.soils, inputs.shapeCommand, {qln::rate::kAllMapunitsQuery});
            const ChildRun run = spawner.run(rateArguments(rate, rateCase, inputs, current, index, tag));
            std::printf("%-11s %-19s %-10s %8.2f %8.2f %7.2f %8.0f %6d\n", rateCase.attribute, rateCase.method,
                        indexes.c_str(), run.seconds, read, run.seconds / read, run.peakMB, run.status);
            std::fflush(stdout);
        }
    }
    return 0;
}
