// Rating runs over a whole survey, every method, in this process, against the time the
// soils database needs just to read the rows of the same SHAPE levels.
// Run: quillon_engine_bench SOILS [--rules FILE]   (SOILS a file such as the state-sized one
// from quillon-sample --preset state, or a postgresql:// address)
#include "BenchRuns.h"
#include "quillon/ado/DataSources.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv)
{
    const auto options = qln::bench::parseBenchOptions(argc, argv, {"--rules"});
    if (!options)
        return 64;
    qln::ado::defineDataSource(qln::engine::kRulesDataSource, options->rules);
    const auto ownEngine = qln::engine::createQuillon();
    qln::engine::clsQuillon& engine = *ownEngine;

    std::printf("%-11s %-19s %9s %9s %12s %8s %7s\n", "attribute", "method", "run s", "read s", "units/s",
                "ratio", "rated");
    for (const auto& rateCase : qln::bench::rateCases()) {
        auto inputs = qln::bench::prepareCase(engine, rateCase, *options);
        const long units = inputs.mapunits.recordCount();
        const double read = qln::bench::readTime(options->soils, inputs.shapeCommand);

        const auto start = std::chrono::steady_clock::now();
        auto results = engine.ProcessData(qln::rate::soilsConnectString(inputs.options.soils), inputs.userData,
                                          inputs.mapunits);
        const double run = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const long rated = results ? results->recordCount() : 0;
        std::printf("%-11s %-19s %9.2f %9.2f %12.0f %8.2f %7ld\n", rateCase.attribute, rateCase.method, run, read,
                    units / run, run / read, rated);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.0f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
