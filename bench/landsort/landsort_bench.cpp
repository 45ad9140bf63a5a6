// Sorts of 5,000 mixed land unit identifiers (12, 12A, 3-2, 010b, ...) in random order:
// an array of texts, a record set in place and adoLandUnitSort's new record set.
// Run: build/bin/quillon_landsort_bench
#include "quillon/landsort/LandUnitSort.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

using qln::ado::Recordset;
using qln::landsort::clsLandUnitSort;

constexpr int kIdentifiers = 5'000;

// Deterministic identifiers of the shapes map unit symbols take.
std::vector<std::string> mixedIdentifiers()
{
    std::mt19937 random(20240611);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::vector<std::string> identifiers;
    identifiers.reserve(kIdentifiers);
    for (int i = 0; i < kIdentifiers; ++i) {
        const std::string number = std::to_string(pick(400));
        const char upper = static_cast<char>('A' + pick(26));
        const char lower = static_cast<char>('a' + pick(26));
        std::string id;
        switch (pick(6)) {
        case 0:  // 12
            id = number;
            break;
        case 1:  // 12A
            id.append(number).push_back(upper);
            break;
        case 2:  // 12-3
            id.append(number).append("-").append(std::to_string(pick(20)));
            break;
        case 3:  // 012b
            id.append("0").append(number).push_back(lower);
            break;
        case 4:  // Ab12
            id.append(1, upper).append(1, lower).append(number);
            break;
        default:  // 12A.3
            id.append(number).append(1, upper).append(".").append(std::to_string(pick(9)));
            break;
        }
        identifiers.push_back(std::move(id));
    }
    return identifiers;
}

Recordset recordsetOf(const std::vector<std::string>& identifiers)
{
    Recordset rs;
    rs.appendField("musym", qln::ado::adVarChar, 20);
    rs.appendField("row", qln::ado::adInteger);
    rs.open();
    for (std::size_t i = 0; i < identifiers.size(); ++i) {
        rs.addNew();
        rs.setValue(0, identifiers[i]);
        rs.setValue(1, static_cast<long long>(i));
    }
    return rs;
}

void StringArraySort5000(benchmark::State& state)
{
    const std::vector<std::string> identifiers = mixedIdentifiers();
    clsLandUnitSort sorter;
    for (auto _ : state) {
        std::vector<std::string> rows = identifiers;
        sorter.StringArraySort(rows, "1,N");
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(StringArraySort5000)->Unit(benchmark::kMillisecond);

void BubbleSort5000(benchmark::State& state)
{
    const std::vector<std::string> identifiers = mixedIdentifiers();
    clsLandUnitSort sorter;
    for (auto _ : state) {
        state.PauseTiming();
        Recordset rs = recordsetOf(identifiers);
        state.ResumeTiming();
        benchmark::DoNotOptimize(sorter.BubbleSort(rs, "musym"));
    }
}
BENCHMARK(BubbleSort5000)->Unit(benchmark::kMillisecond);

void AdoLandUnitSort5000(benchmark::State& state)
{
    const Recordset rs = recordsetOf(mixedIdentifiers());
    clsLandUnitSort sorter;
    for (auto _ : state)
        benchmark::DoNotOptimize(sorter.adoLandUnitSort(rs, "musym").recordCount());
}
BENCHMARK(AdoLandUnitSort5000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
