// Start-up of the viewer to a shown window on the bundled rules and sample survey: the
// components created by ProgID, settings read from the registry, rules read, results reset,
// tree and survey-area list filled; then the remembered soils database opened behind the
// shown window. Prints each run's time to the shown window and to the opened database, and
// the mean of each step. QUILLON_BENCH_SOILS names another soils file to remember instead.
// Run: QT_QPA_PLATFORM=offscreen quillon_viewer_startup_bench [RUNS]
#include "ReporterDisplay.h"
#include "ViewerFixture.h"
#include "frmQuillon.h"
#include "Startup.h"

#include <QApplication>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <map>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 10;
    if (argc > 1) std::from_chars(argv[1], argv[1] + std::char_traits<char>::length(argv[1]), runs);
    QApplication app(argc, argv);
    qln::test::ViewerInstall install;
    if (const char* soils = std::getenv("QUILLON_BENCH_SOILS")) {
        std::filesystem::copy_file(soils, install.folder / "soils" / "bench.mdb");
        install.set("SoilsDataFile", "bench.mdb");
    }
    qln::reporter::setDisplayHandler(std::make_shared<qln::viewer::ReporterDisplay>());

    std::vector<double> totals;
    std::vector<double> opened;
    std::map<std::string, double> stepTotals;
    for (int run = 0; run < runs; ++run) {
        qln::viewer::Session session;
        std::string current;
        Clock::time_point stepStart;
        Clock::time_point shown{};
        session.onStep = [&](const char* name) {
            // The window has shown and painted once the database opening begins.
            if (std::string_view(name) == "OpenSoilsDatabase") {
                QApplication::processEvents();
                shown = Clock::now();
            }
            const auto now = Clock::now();
            if (!current.empty()) stepTotals[current] += ms(now - stepStart);
            current = name;
            stepStart = now;
        };
        const auto start = Clock::now();
        auto form = qln::viewer::Main(session);
        if (!form) {
            std::fprintf(stderr, "start-up failed\n");
            for (const QString& box : install.boxes()) std::fprintf(stderr, "  %s\n", qPrintable(box));
            return 1;
        }
        QApplication::processEvents();
        const auto end = Clock::now();
        stepTotals[current] += ms(end - stepStart);
        if (shown == Clock::time_point{}) shown = end;
        totals.push_back(ms(shown - start));
        opened.push_back(ms(end - start));
        form.reset();
    }
    std::sort(totals.begin(), totals.end());
    std::sort(opened.begin(), opened.end());
    std::printf("start-up to a shown window, %d runs: median %.1f ms, min %.1f ms, max %.1f ms (target < 1000 ms)\n",
                runs, totals[totals.size() / 2], totals.front(), totals.back());
    std::printf("to the remembered database opened: median %.1f ms, min %.1f ms, max %.1f ms\n",
                opened[opened.size() / 2], opened.front(), opened.back());
    std::printf("mean per step:\n");
    for (const auto& [step, total] : stepTotals) std::printf("  %-26s %8.2f ms\n", step.c_str(), total / runs);
    return 0;
}
