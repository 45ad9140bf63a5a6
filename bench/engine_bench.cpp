// Rating runs over a whole survey, every method, against the time SQLite needs just to read
// the rows of the same SHAPE levels.
// Run: quillon_engine_bench SOILS.sqlite [RULES.sqlite]   (a state-sized SOILS comes from
// quillon-sample --preset state)
#include "RateRun.h"
#include "quillon/viewer/UserData.h"
#include "Shape.h"
#include "modShapeFuncs.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/DataSources.h"

#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <functional>
#include <iostream>

namespace {

using Clock = std::chrono::steady_clock;

double secondsOf(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Steps every row of every level query, reading every column, as a lower bound of a run.
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
    const double seconds = secondsOf([&] { readLevel(command); });
    sqlite3_close(db);
    return seconds;
}

struct Case {
    const char* attribute;
    const char* method;
    long top, bottom, beginMonth, endMonth;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: quillon_engine_bench SOILS.sqlite [RULES.sqlite]\n";
        return 64;
    }
    const std::filesystem::path soils = argv[1];
    const std::filesystem::path rules =
        argc > 2 ? std::filesystem::path(argv[2]) : qln::rate::bundledRules(std::filesystem::canonical("/proc/self/exe"));
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
    std::printf("%-11s %-19s %9s %9s %12s %8s %7s\n", "attribute", "method", "run s", "read s", "units/s",
                "ratio", "rated");
    for (const Case& c : cases) {
        qln::rate::RateOptions options;
        options.soils = soils;
        options.rules = rules;
        // -1 in a case stands for a hidden control: the option is absent.
        const auto given = [](long value) { return value >= 0 ? std::optional<long>(value) : std::nullopt; };
        options.run.attribute = c.attribute;
        options.run.method = c.method;
        options.run.top = given(c.top);
        options.run.bottom = given(c.bottom);
        options.run.beginMonth = given(c.beginMonth);
        options.run.endMonth = given(c.endMonth);
        auto attr = engine.GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='" + std::string(c.attribute) + "'");
        // A map-unit attribute offers no method: the engine does not read it.
        const auto offered = qln::viewer::attributeMethods(engine, c.attribute);
        const long method = offered.empty() ? -1 : qln::viewer::chooseMethod(offered, options.run.method);
        auto userData = qln::viewer::buildUserData(options.run, attr, method);
        auto mapunits = qln::rate::loadMapunits(engine, options);
        const long units = mapunits.recordCount();

        qln::ado::Connection plain;
        plain.setConnectionString(qln::rate::soilsConnectString(soils));
        plain.open();
        auto keys = mapunits.clone();
        const std::string command = qln::engine::SetAdoTelvaRS(engine, plain, attr, userData, keys);
        const double read = readTime(soils, qln::ado::detail::parseShapeCommand(command));

        long rated = 0;
        const double run = secondsOf([&] {
            auto results = engine.ProcessData(qln::rate::soilsConnectString(soils), userData, mapunits);
            rated = results ? results->recordCount() : 0;
        });
        std::printf("%-11s %-19s %9.2f %9.2f %12.0f %8.2f %7ld\n", c.attribute, c.method, run, read, units / run,
                    run / read, rated);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.0f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
