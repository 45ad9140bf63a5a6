// Rating runs of quillon-rate as a user starts them, each method, one child process per run:
// wall time and peak resident memory of the child against the time SQLite alone needs to
// return the rows of the run's SHAPE levels.
// Run: quillon_scale_bench SOILS.sqlite [--threads N] [--save DIR]
//   (SOILS from quillon-sample --preset state, or --mapunits 160000; --save keeps each run's
//   CSV so that two builds can be compared byte for byte)
#include "RateRun.h"
#include "Shape.h"
#include "modShapeFuncs.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/DataSources.h"
#include "quillon/viewer/UserData.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Steps every row of every level query, reading every column: what the database alone costs.
double readTime(const std::filesystem::path& soils, const qln::ado::detail::ShapeCommand& command)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(soils.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::function<void(const qln::ado::detail::ShapeCommand&)> readLevel = [&](const auto& level) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, level.sql.c_str(), -1, &stmt, nullptr);
        const int columns = sqlite3_column_count(stmt);
        std::size_t bytes = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c)
                bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
        }
        sqlite3_finalize(stmt);
        for (const auto& child : level.children)
            readLevel(child.command);
    };
    const auto start = Clock::now();
    readLevel(command);
    sqlite3_close(db);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Case {
    const char* attribute;
    const char* method;
    long top, bottom, beginMonth, endMonth;
};

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
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return result;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: quillon_scale_bench SOILS.sqlite [--threads N] [--save DIR]\n";
        return 64;
    }
    const std::filesystem::path soils = std::filesystem::absolute(argv[1]);
    std::optional<std::string> threads;
    std::optional<std::filesystem::path> save;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--threads")
            threads = argv[i + 1];
        else if (option == "--save")
            save = argv[i + 1];
    }
    if (save)
        std::filesystem::create_directories(*save);
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    const std::string rate = (self.parent_path() / "quillon-rate").string();
    const std::filesystem::path rules = qln::rate::bundledRules(self);
    qln::ado::defineDataSource(qln::engine::kRulesDataSource, rules);
    const auto ownEngine = qln::engine::createQuillon();
    qln::engine::clsQuillon& engine = *ownEngine;

    const Case cases[] = {
        {"PHY_AWC", "Weighted Average", 0, 100, -1, -1},  {"QUA_SLOPE", "Dominant Soil", -1, -1, -1, -1},
        {"PHY_CLAY", "Dominant Soil", 0, 100, -1, -1},    {"WAT_DRAIN", "Dominant Condition", -1, -1, -1, -1},
        {"PHY_CLAY", "Most Limiting", 0, 100, -1, -1},    {"PHY_CLAY", "Least Limiting", 0, 100, -1, -1},
        {"WAT_HYDRIC", "Absence/Presence", -1, -1, -1, -1}, {"PHY_CLAY", "All Components", 0, 100, -1, -1},
        {"WAT_FLOOD", "Dominant Condition", -1, -1, 1, 12}, {"MU_AWS100", "Dominant Soil", -1, -1, -1, -1},
    };
    std::printf("%-11s %-19s %8s %8s %7s %8s %6s\n", "attribute", "method", "run s", "read s", "ratio", "peak MB",
                "exit");
    int index = 0;
    for (const Case& c : cases) {
        ++index;
        qln::rate::RateOptions options;
        options.soils = soils;
        options.rules = rules;
        const auto given = [](long value) { return value >= 0 ? std::optional<long>(value) : std::nullopt; };
        options.run.attribute = c.attribute;
        options.run.method = c.method;
        options.run.top = given(c.top);
        options.run.bottom = given(c.bottom);
        options.run.beginMonth = given(c.beginMonth);
        options.run.endMonth = given(c.endMonth);
        auto attr = engine.GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='" + std::string(c.attribute) + "'");
        const auto offered = qln::viewer::attributeMethods(engine, c.attribute);
        const long method = offered.empty() ? -1 : qln::viewer::chooseMethod(offered, options.run.method);
        auto userData = qln::viewer::buildUserData(options.run, attr, method);
        auto mapunits = qln::rate::loadMapunits(engine, options);
        qln::ado::Connection plain;
        plain.setConnectionString(qln::rate::soilsConnectString(soils));
        plain.open();
        const std::string command = qln::engine::SetAdoTelvaRS(engine, plain, attr, userData, mapunits);
        const double read = readTime(soils, qln::ado::detail::parseShapeCommand(command));

        std::vector<std::string> args = {rate, "--soils", soils.string(), "--attribute", c.attribute};
        if (method >= 0)
            args.insert(args.end(), {"--method", c.method});
        if (c.top >= 0)
            args.insert(args.end(), {"--top", std::to_string(c.top), "--bottom", std::to_string(c.bottom)});
        if (c.beginMonth >= 0)
            args.insert(args.end(),
                        {"--begin-month", std::to_string(c.beginMonth), "--end-month", std::to_string(c.endMonth)});
        if (threads)
            args.insert(args.end(), {"--threads", *threads});
        if (save)
            args.insert(args.end(), {"--output", (*save / (std::to_string(index) + "_" + c.attribute + ".csv")).string()});
        const ChildRun run = runChild(args);
        std::printf("%-11s %-19s %8.2f %8.2f %7.2f %8.0f %6d\n", c.attribute, c.method, run.seconds, read,
                    run.seconds / read, run.peakMB, run.status);
        std::fflush(stdout);
    }
    return 0;
}
