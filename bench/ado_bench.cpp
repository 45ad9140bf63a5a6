// Record-set benchmarks: equality filters on a large in-memory set, and a three-level SHAPE
// run. Run: build/bin/quillon_ado_bench
#include "quillon/ado/Connection.h"
#include "quillon/ado/Recordset.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

namespace {

using qln::ado::Recordset;

constexpr int kRows = 1'000'000;
constexpr int kKeys = 10'000;

Recordset buildRows(int rows)
{
    Recordset rs;
    rs.appendField("mukey", qln::ado::adVarChar, 30);
    rs.appendField("cokey", qln::ado::adVarChar, 30);
    rs.appendField("comppct_r", qln::ado::adInteger);
    rs.open();
    for (int i = 0; i < rows; ++i) {
        rs.addNew();
        rs.setValue(0, std::to_string(100000 + i % kKeys));
        rs.setValue(1, std::to_string(i));
        rs.setValue(2, i % 100);
    }
    return rs;
}

void BuildMillionRows(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(buildRows(kRows).recordCount());
}
BENCHMARK(BuildMillionRows)->Unit(benchmark::kMillisecond)->Iterations(1);

void TenThousandEqualityFilters(benchmark::State& state)
{
    Recordset rs = buildRows(kRows);
    long total = 0;
    for (auto _ : state) {
        for (int k = 0; k < kKeys; ++k) {
            rs.setFilter("mukey='" + std::to_string(100000 + k) + "'");
            total += rs.recordCount();
        }
    }
    if (total != static_cast<long>(kRows) * state.iterations())
        state.SkipWithError("filters lost rows");
}
BENCHMARK(TenThousandEqualityFilters)->Unit(benchmark::kMillisecond)->Iterations(3);

// legend 10 -> mapunit 20,000 -> component 100,000 -> chorizon 500,000
std::filesystem::path buildShapeDatabase()
{
    const auto file = std::filesystem::temp_directory_path() / "quillon-bench-shape.sqlite";
    std::filesystem::remove(file);
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE legend (lkey VARCHAR(30), areasymbol VARCHAR(20));"
                 "CREATE TABLE mapunit (lkey VARCHAR(30), mukey VARCHAR(30), musym VARCHAR(6));"
                 "CREATE TABLE component (mukey VARCHAR(30), cokey VARCHAR(30), comppct_r SMALLINT);"
                 "CREATE TABLE chorizon (cokey VARCHAR(30), hzdept_r SMALLINT, hzdepb_r SMALLINT, claytotal_r REAL);"
                 "BEGIN;"
                 "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<9)"
                 " INSERT INTO legend SELECT i, 'AREA'||i FROM n;"
                 "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<19999)"
                 " INSERT INTO mapunit SELECT i%10, 100000+i, 'S'||i FROM n;"
                 "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<99999)"
                 " INSERT INTO component SELECT 100000+i/5, 1000000+i, 20 FROM n;"
                 "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<499999)"
                 " INSERT INTO chorizon SELECT 1000000+i/5, (i%5)*20, (i%5)*20+20, (i%37)*1.5 FROM n;"
                 "COMMIT;",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return file;
}

void ShapeThreeLevels(benchmark::State& state)
{
    const auto file = buildShapeDatabase();
    qln::ado::Connection cn;
    cn.setConnectionString("DBQ=" + file.string() + ";Provider=MSDataShape;");
    cn.open();
    const std::string command =
        "SHAPE {SELECT lkey, areasymbol FROM legend} AS cmdlegend APPEND "
        "((SHAPE {SELECT lkey,mukey,musym FROM mapunit} AS cmdmapunit APPEND "
        "((SHAPE {SELECT mukey,cokey,comppct_r FROM component ORDER BY comppct_r DESC} AS cmdcomponent APPEND "
        "({SELECT cokey,hzdept_r,hzdepb_r,claytotal_r FROM chorizon} AS cmdchorizon RELATE 'cokey' TO 'cokey') "
        "AS cmdchorizon) AS cmdcomponent RELATE 'mukey' TO 'mukey') AS cmdcomponent) AS cmdmapunit "
        "RELATE 'lkey' TO 'lkey') AS cmdmapunit";
    for (auto _ : state) {
        Recordset rs = cn.execute(command);
        benchmark::DoNotOptimize(rs.recordCount());
    }
    cn.close();
    std::filesystem::remove(file);
}
BENCHMARK(ShapeThreeLevels)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
