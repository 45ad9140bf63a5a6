// The rating report and the non-technical report of a large survey as the Preview Report
// buttons make them (the engine's run and XML document, then the Word document typed and
// saved), then Cancel pressed during each step of each: how long each report takes, and
// how long a cancelled one goes on before it stops, and that it leaves no document.
// Run: quillon_report_bench SOILS.sqlite [MAPUNITS|all] [ATTRIBUTE]   (a state-sized SOILS
// comes from quillon-sample --preset state; MAPUNITS defaults to 5000, ATTRIBUTE to INT_DWB)
#include "RateRun.h"
#include "quillon/viewer/UserData.h"
#include "ReportOutput.h"
#include "quillon/ado/DataSources.h"
#include "quillon/viewer/MapunitList.h"
#include "quillon/viewer/NonTechReport.h"
#include "quillon/viewer/RatingReport.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Presses Cancel once the report reaches the step named (at its `at`-th progress call), and
// notes when.
struct CancelAt {
    std::string step;
    long at = 1;
    long calls = 0;
    std::optional<Clock::time_point> pressed;

    bool keepGoing(const char* current)
    {
        if (!pressed && step == current && ++calls >= at) {
            pressed = Clock::now();
            // Pressed while saving: found cancelled at its next count.
            return step.rfind("Saving", 0) == 0;
        }
        return !pressed;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: quillon_report_bench SOILS.sqlite [MAPUNITS|all] [ATTRIBUTE]\n";
        return 64;
    }
    const bool all = argc > 2 && std::string(argv[2]) == "all";
    const long wanted = all ? -1 : argc > 2 ? std::atol(argv[2]) : 5000;
    const std::filesystem::path executable = std::filesystem::canonical("/proc/self/exe");
    qln::rate::RateOptions options;
    options.soils = argv[1];
    options.run.attribute = argc > 3 ? argv[3] : "INT_DWB";
    options.rules = qln::rate::bundledRules(executable);
    qln::ado::defineDataSource(qln::engine::kRulesDataSource, options.rules);
    ::setenv("QUILLON_NO_OPEN", "1", 1);
    const std::string connect = qln::rate::soilsConnectString(options.soils);

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
        list.setValue("Selected", wanted < 0 || ticked < wanted);
        list.update();
    }
    const qln::ado::Recordset selection = qln::viewer::GetSelectedRS(list);
    const qln::viewer::NonTechRSs rss = qln::viewer::SetNonTechRSs(engine, connect);

    qln::viewer::Messages messages;
    messages.box = [](const std::string& text) { std::cerr << text << "\n"; };
    messages.report = [](int, const std::string& procedure, const std::string& text) {
        std::cerr << procedure << ": " << text << "\n";
    };
    const std::filesystem::path target = std::filesystem::temp_directory_path() / "quillon_report_bench.docx";

    // One report, Cancel pressed as `cancel` says (never without): status and seconds.
    const auto rating = [&](qln::viewer::Messages shown) {
        qln::viewer::RatingReportInputs inputs;
        inputs.templatePath = qln::rate::bundledTemplates(executable) / "QLNTemplate.dotx";
        inputs.options.chkInterpReason = true;
        inputs.months = qln::viewer::ReportMonths(engine, connect);
        inputs.messages = std::move(shown);
        qln::ado::Recordset chosen = selection.clone();
        return qln::viewer::PopulateReport(engine, connect, userData, chosen, inputs, target);
    };
    const auto nontech = [&](qln::viewer::Messages shown) {
        qln::viewer::NonTechInputs inputs;
        inputs.templatePath = qln::rate::bundledTemplates(executable) / "QLNNonTech.dotx";
        inputs.options.categories = qln::viewer::PopulateCategories(rss);
        inputs.messages = std::move(shown);
        return qln::viewer::PopulateNonTechReport(engine, connect, rss, list, inputs, target);
    };
    struct Report {
        const char* name;
        std::function<short(qln::viewer::Messages)> make;
        std::vector<std::string> steps;
    };
    const std::vector<Report> reports = {
        {"rating report", rating, {"Rating", "Reading the reasons", "Writing the document", "Saving the document"}},
        {"non-technical report", nontech, {"Reading the descriptions", "Writing the document", "Saving the document"}},
    };

    for (const Report& report : reports) {
        engine.setProgressHandler({});
        // CPU time besides wall time: on a shared machine the wall clock also counts waiting.
        const std::clock_t cpuStart = std::clock();
        const auto start = Clock::now();
        const short status = report.make(messages);
        const double seconds = since(start);
        const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        if (status != 1)
            return 1;
        std::printf("%s of %ld map units (%s): %.2f s (%.2f s CPU), %ju bytes\n", report.name,
                    selection.recordCount(), options.run.attribute.c_str(), seconds, cpu,
                    static_cast<std::uintmax_t>(std::filesystem::file_size(target)));
        std::filesystem::remove(target);

        // Cancel midway through each step that counts its map units, else at its first count
        // from inside the work (the descriptions query, the writing of the saved body).
        for (const std::string& step : report.steps) {
            const bool counted = step == "Rating" || step == "Reading the reasons" || step == "Writing the document";
            const long at = counted ? selection.recordCount() / 2 : 2;
            CancelAt cancel{step, at, 0, std::nullopt};
            const char* current = "";
            engine.setProgressHandler([&](long, long) { return cancel.keepGoing(current); });
            qln::viewer::Messages shown = messages;
            shown.report = {};
            shown.progress = [&](const char* name, long, long) {
                current = name;
                return cancel.keepGoing(name);
            };
            const short cancelled = report.make(shown);
            const double after = cancel.pressed ? since(*cancel.pressed) : -1;
            std::printf("  Cancel during \"%s\": stopped %.3f s after, status %d, %s\n", step.c_str(), after,
                        cancelled, std::filesystem::exists(target) ? "A DOCUMENT WAS LEFT" : "no document");
            std::filesystem::remove(target);
        }
    }
    engine.setProgressHandler({});
    return 0;
}
