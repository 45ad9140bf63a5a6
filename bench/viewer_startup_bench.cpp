// Start-up of the viewer to a shown window on the bundled rules and sample survey: the
// components created by ProgID, settings read from the registry, rules read, results reset,
// tree and survey-area list filled. Prints each run's total and the slowest steps.
// Run: QT_QPA_PLATFORM=offscreen quillon_viewer_startup_bench [RUNS]
#include "ReporterDisplay.h"
#include "ViewerFixture.h"
#include "frmQuillon.h"
#include "modMain.h"

#include <QApplication>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
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
    qln::reporter::setDisplayHandler(std::make_shared<qln::viewer::ReporterDisplay>());

    std::vector<double> totals;
    std::map<std::string, double> stepTotals;
    for (int run = 0; run < runs; ++run) {
        qln::viewer::ViewerState st;
        std::string current;
        Clock::time_point stepStart;
        st.onStep = [&](const char* name) {
            const auto now = Clock::now();
            if (!current.empty()) stepTotals[current] += ms(now - stepStart);
            current = name;
            stepStart = now;
        };
        const auto start = Clock::now();
        auto form = qln::viewer::Main(st);
        if (!form) {
            std::fprintf(stderr, "start-up failed\n");
            for (const QString& box : install.boxes()) std::fprintf(stderr, "  %s\n", qPrintable(box));
            return 1;
        }
        QApplication::processEvents();
        const auto shown = Clock::now();
        stepTotals[current] += ms(shown - stepStart);
        totals.push_back(ms(shown - start));
        form.reset();
    }
    std::sort(totals.begin(), totals.end());
    std::printf("start-up to a shown window, %d runs: median %.1f ms, min %.1f ms, max %.1f ms (target < 1000 ms)\n",
                runs, totals[totals.size() / 2], totals.front(), totals.back());
    std::printf("mean per step:\n");
    for (const auto& [step, total] : stepTotals) std::printf("  %-26s %8.2f ms\n", step.c_str(), total / runs);
    return 0;
}
