// Rating runs of quillon-rate as a user starts them, each method, one child process per run:
// wall time and peak resident memory of the child against the time the soils database alone
// needs to return the rows of the run's SHAPE levels.
// Run: quillon_scale_bench SOILS [--rules FILE] [--threads N] [--batch N] [--save DIR]
//   SOILS: a file (quillon-sample --preset state, or --mapunits 160000) or a postgresql://
//   address (bench/scale_bench_server.sh loads a file into a throw-away server and runs
//   this); --save keeps each run's CSV so that two builds or databases compare byte for byte.
#include "BenchRuns.h"
#include "quillon/ado/DataSources.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct ChildRun {
    double seconds = 0;
    double peakMB = 0;
    int status = -1;
};

ChildRun runChild(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ChildRun result;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return result;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The quillon-rate command line of a case.
std::vector<std::string> rateArguments(const std::string& rate, const qln::bench::RateCase& c,
                                       const qln::bench::CaseInputs& inputs, const qln::bench::BenchOptions& options,
                                       int index)
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
        args.insert(args.end(),
                    {"--output", (*options.save / (std::to_string(index) + "_" + c.attribute + ".csv")).string()});
    return args;
}

} // namespace

int main(int argc, char** argv)
{
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

    std::printf("%-11s %-19s %8s %8s %7s %8s %6s\n", "attribute", "method", "run s", "read s", "ratio", "peak MB",
                "exit");
    int index = 0;
    for (const auto& rateCase : qln::bench::rateCases()) {
        ++index;
        const auto inputs = qln::bench::prepareCase(engine, rateCase, *options);
        const double read = qln::bench::readTime(options->soils, inputs.shapeCommand);
        const ChildRun run = runChild(rateArguments(rate, rateCase, inputs, *options, index));
        std::printf("%-11s %-19s %8.2f %8.2f %7.2f %8.0f %6d\n", rateCase.attribute, rateCase.method, run.seconds,
                    read, run.seconds / read, run.peakMB, run.status);
        std::fflush(stdout);
    }
    return 0;
}
