// The rating report of a large survey: the engine's run and XML document over the chosen
// map units, then the Word document typed and saved, as the Preview Report button does.
// Run: quillon_report_bench SOILS.sqlite [MAPUNITS] [ATTRIBUTE]   (a state-sized SOILS comes
// from quillon-sample --preset state; MAPUNITS defaults to 5000, ATTRIBUTE to INT_DWB)
#include "RateRun.h"
#include "quillon/viewer/UserData.h"
#include "ReportOutput.h"
#include "quillon/ado/DataSources.h"
#include "quillon/viewer/MapunitList.h"
#include "quillon/viewer/RatingReport.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: quillon_report_bench SOILS.sqlite [MAPUNITS] [ATTRIBUTE]\n";
        return 64;
    }
    const long wanted = argc > 2 ? std::atol(argv[2]) : 5000;
    const std::filesystem::path executable = std::filesystem::canonical("/proc/self/exe");
    qln::rate::RateOptions options;
    options.soils = argv[1];
    options.run.attribute = argc > 3 ? argv[3] : "INT_DWB";
    options.rules = qln::rate::bundledRules(executable);
    qln::ado::defineDataSource(qln::engine::kRulesDataSource, options.rules);
    ::setenv("QUILLON_NO_OPEN", "1", 1);

    const auto ownEngine = qln::engine::createQuillon();
    qln::engine::clsQuillon& engine = *ownEngine;
    auto attr = engine.GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='" + options.run.attribute + "'");
    auto userData = qln::viewer::buildUserData(
        options.run, attr,
        qln::viewer::chooseMethod(qln::viewer::attributeMethods(engine, options.run.attribute), options.run.method));
    auto mapunits = qln::rate::loadMapunits(engine, options);
    auto list = qln::rate::reportMapunitList(engine, options, mapunits);
    // The first map units of the list are the ticked ones.
    long ticked = 0;
    for (list.moveFirst(); !list.eof(); list.moveNext(), ++ticked) {
        list.setValue("Selected", ticked < wanted);
        list.update();
    }
    auto selection = qln::viewer::GetSelectedRS(list);

    qln::viewer::RatingReportInputs inputs;
    inputs.templatePath = qln::rate::bundledTemplates(executable) / "QLNTemplate.dotx";
    inputs.messages.box = [](const std::string& text) { std::cerr << text << "\n"; };
    inputs.messages.report = [](int, const std::string& procedure, const std::string& text) {
        std::cerr << procedure << ": " << text << "\n";
    };
    const std::filesystem::path target = std::filesystem::temp_directory_path() / "quillon_report_bench.docx";

    // CPU time besides wall time: on a shared machine the wall clock also counts waiting.
    const std::clock_t cpuStart = std::clock();
    const auto start = Clock::now();
    const short status = qln::viewer::PopulateReport(engine, qln::rate::soilsConnectString(options.soils), userData,
                                                     selection, inputs, target);
    const double seconds = since(start);
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (status != 1)
        return 1;
    std::printf("rating report of %ld map units (%s): %.2f s (%.2f s CPU), %ju bytes\n", selection.recordCount(),
                options.run.attribute.c_str(), seconds, cpu,
                static_cast<std::uintmax_t>(std::filesystem::file_size(target)));
    std::filesystem::remove(target);
    return 0;
}
