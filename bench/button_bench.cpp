// The whole path of the process button on a state-sized survey: the real viewer window
// (offscreen, in this process) linked to the real soils map (a child process). For each
// attribute the time from the click is split into the engine (the rating on the worker
// thread), the results store (MU_Data written, on the worker too) and the map (joining the
// column to its polygons, then drawing the theme). Meanwhile the GUI thread's paint events
// and the longest gap between turns of its event loop are counted, to show that the window
// keeps repainting while the job works.
// Run: quillon_button_bench STATE_FOLDER [NODEKEY[:TOP-BOTTOM]...]
//      (the folder from quillon-sample --preset state --output STATE_FOLDER)
#include "JobControls.h"
#include "OptionsTab.h"
#include "ReporterDisplay.h"
#include "ViewerFixture.h"
#include "frmQuillon.h"
#include "Startup.h"
#include "quillon/dde/Dde.h"
#include "ui_OptionsTab.h"
#include "ui_frmQuillon.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Turns the event loop until `ready` holds; false after `limit`.
bool waitFor(const std::function<bool()>& ready, std::chrono::seconds limit)
{
    const auto end = Clock::now() + limit;
    while (!ready()) {
        if (Clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

// What the GUI thread went through during one run.
class RunWatch : public QObject {
public:
    explicit RunWatch(qln::viewer::frmQuillon& form) : m_form(form)
    {
        qApp->installEventFilter(this);
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(2);
        connect(&m_tick, &QTimer::timeout, this, [this] {
            const auto now = Clock::now();
            if (m_lastTurn != Clock::time_point{}) {
                double& longest = m_jobDone ? m_maxGapAfter : m_maxGapJob;
                longest = std::max(longest, seconds(now - m_lastTurn));
            }
            m_lastTurn = now;
            // The job names its store stage once the engine has handed back the ratings.
            if (m_engineEnd == Clock::time_point{} &&
                m_form.jobControls().progressLabel().text().startsWith("Storing"))
                m_engineEnd = now;
        });
    }
    ~RunWatch() override { qApp->removeEventFilter(this); }

    void start()
    {
        m_start = Clock::now();
        m_lastTurn = {};
        m_tick.start();
    }
    void stop() { m_tick.stop(); }

    Clock::time_point m_start, m_engineEnd, m_storeEnd, m_mapDisabled, m_mapEnabled;
    bool m_jobDone = false;
    int m_paints = 0, m_jobPaints = 0;
    double m_maxGapJob = 0, m_maxGapAfter = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++m_paints;
            if (!m_jobDone) ++m_jobPaints;
        } else if (event->type() == QEvent::Hide && watched == &m_form.jobControls().cancelButton() && !m_jobDone) {
            // The job's end, after its store, hides Cancel first, then asks the map.
            m_jobDone = true;
            m_storeEnd = Clock::now();
            if (m_engineEnd == Clock::time_point{}) m_engineEnd = m_storeEnd;
        } else if (event->type() == QEvent::EnabledChange && watched == m_form.ui().cmdRESET && m_jobDone) {
            // The map takes the controls while it draws and gives them back after.
            const bool enabled = m_form.ui().cmdRESET->isEnabled();
            const bool busy = m_form.jobControls().busy();
            if (!enabled && !busy && m_mapDisabled == Clock::time_point{})
                m_mapDisabled = Clock::now();
            else if (enabled && m_mapDisabled != Clock::time_point{} && m_mapEnabled == Clock::time_point{})
                m_mapEnabled = Clock::now();
        }
        return false;
    }

private:
    qln::viewer::frmQuillon& m_form;
    QTimer m_tick;
    Clock::time_point m_lastTurn;
};

struct Case {
    std::string key;
    std::string top, bottom;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: quillon_button_bench STATE_FOLDER [NODEKEY[:TOP-BOTTOM]...]\n");
        return 64;
    }
    const fs::path state = fs::absolute(argv[1]);
    if (!fs::exists(state / "state.sqlite") || !fs::exists(state / "state_soils.shp")) {
        std::fprintf(stderr, "%s holds no state.sqlite and state_soils.shp (quillon-sample --preset state)\n",
                     state.c_str());
        return 66;
    }
    std::vector<Case> cases;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto colon = arg.find(':'), dash = arg.find('-', colon);
        if (colon == std::string::npos || dash == std::string::npos)
            cases.push_back({arg, "", ""});
        else
            cases.push_back({arg.substr(0, colon), arg.substr(colon + 1, dash - colon - 1), arg.substr(dash + 1)});
    }
    if (cases.empty()) cases = {{"INT_DWB", "", ""}, {"WAT_DRAIN", "", ""}, {"PHY_AWC", "0", "100"}};

    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    qln::test::ViewerInstall install;
    qln::reporter::setDisplayHandler(std::make_shared<qln::viewer::ReporterDisplay>());
    install.set("SoilsDataPath", state.string());
    install.set("SoilsDataFile", "state.sqlite");

    // The map on the state's soils theme, reading the viewer's working results database.
    QProcess map;
    std::vector<std::pair<Clock::time_point, std::string>> mapLines;
    QObject::connect(&map, &QProcess::readyReadStandardOutput, [&] {
        while (map.canReadLine()) mapLines.emplace_back(Clock::now(), map.readLine().trimmed().toStdString());
    });
    map.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto mapStart = Clock::now();
    map.start(QUILLON_MAP_PROGRAM, {"--verbose", "--results", QString::fromStdString((install.install / "results" /
                                                                                       "results.sqlite").string()),
                                    QString::fromStdString((state / "state_soils.shp").string())});
    const bool mapUp = waitFor(
        [] {
            try {
                qln::dde::Conversation probe("ArcView", "System", std::chrono::milliseconds(200));
                return true;
            } catch (const qln::dde::DdeError&) {
                return false;
            }
        },
        std::chrono::seconds(120));
    if (!mapUp) {
        std::fprintf(stderr, "the map did not come up\n");
        return 1;
    }
    std::printf("map up with the state's soils theme in %.2f s\n", seconds(Clock::now() - mapStart));

    qln::viewer::Session session;
    session.commandLine = "\"" + state.string() + "|state_soils.dbf\"";
    const auto viewerStart = Clock::now();
    auto form = qln::viewer::Main(session);
    if (!form) {
        std::fprintf(stderr, "start-up failed\n");
        for (const QString& box : install.boxes()) std::fprintf(stderr, "  %s\n", qPrintable(box));
        return 1;
    }
    QCoreApplication::processEvents();
    std::printf("viewer started linked, MU_Data filled with the layer's map units, in %.2f s\n\n",
                seconds(Clock::now() - viewerStart));

    std::printf("%-12s %-20s %8s %8s %8s %8s %8s %7s %7s %9s %9s\n", "attribute", "method", "engine", "store",
                "map join", "map draw", "total", "store%", "paints", "gap run", "gap after");
    int failures = 0;
    int n = 0;
    for (const Case& c : cases) {
        ++n;
        QTreeWidgetItem* node = nullptr;
        for (QTreeWidgetItemIterator it(form->ui().tvInterps); *it && !node; ++it)
            if ((*it)->data(0, Qt::UserRole).toString().toStdString() == c.key) node = *it;
        if (!node) {
            std::fprintf(stderr, "%s is not in the tree\n", c.key.c_str());
            ++failures;
            continue;
        }
        form->ui().tvInterps->setCurrentItem(node);
        form->ui().SSTab1->setCurrentIndex(form->FindTabNumber("Options"));
        auto& o = form->optionsTab().ui();
        if (!c.top.empty()) {
            o.txtMinDepth->setText(QString::fromStdString(c.top));
            o.txtMaxDepth->setText(QString::fromStdString(c.bottom));
        }
        o.txtDBFColumn->setText(QString("BENCH_%1").arg(n));
        const std::string method = o.cboInterpOptions->currentText().toStdString();
        const auto boxesBefore = install.boxes().size();
        const auto linesBefore = mapLines.size();

        RunWatch watch(*form);
        watch.start();
        form->ui().cmdCreateDBFFile->click();
        Clock::time_point shown;
        const bool stored =
            waitFor([&] { return watch.m_jobDone && !form->jobControls().busy(); }, std::chrono::seconds(600));
        const QString box = install.boxes().size() > boxesBefore ? install.boxes().back() : QString();
        if (!stored || !box.contains("will be added to the view")) {
            std::fprintf(stderr, "%s: the run did not store a theme: %s\n", c.key.c_str(), qPrintable(box));
            ++failures;
            watch.stop();
            continue;
        }
        const bool drawn = waitFor(
            [&] {
                for (std::size_t i = linesBefore; i < mapLines.size() && shown == Clock::time_point{}; ++i)
                    if (mapLines[i].second.rfind("shown: ", 0) == 0) shown = mapLines[i].first;
                return shown != Clock::time_point{} && watch.m_mapEnabled != Clock::time_point{};
            },
            std::chrono::seconds(120));
        watch.stop();
        if (!drawn) {
            std::fprintf(stderr, "%s: the map did not draw the theme\n", c.key.c_str());
            ++failures;
            continue;
        }
        const double engine = seconds(watch.m_engineEnd - watch.m_start);
        const double store = seconds(watch.m_storeEnd - watch.m_engineEnd);
        const double join = seconds(shown - watch.m_storeEnd);
        const double draw = seconds(watch.m_mapEnabled - shown);
        const double total = seconds(watch.m_mapEnabled - watch.m_start);
        std::printf("%-12s %-20s %7.2fs %7.2fs %7.2fs %7.2fs %7.2fs %6.1f%% %7d %7.0fms %7.0fms\n", c.key.c_str(),
                    method.c_str(), engine, store, join, draw, total, 100.0 * store / total, watch.m_jobPaints,
                    watch.m_maxGapJob * 1000, watch.m_maxGapAfter * 1000);
        std::fflush(stdout);
    }
    std::printf("\nengine: click to the ratings back on the worker; store: MU_Data written, also on the worker,\n"
                "until the job's end; map join: until the map has joined the column to its polygons; map draw:\n"
                "until it has drawn the theme and given the viewer its controls back. paints: paint events on the\n"
                "GUI thread during the job; gap run / gap after: the longest the GUI thread's event loop went\n"
                "without a turn during the job (engine and store) / from its end to the map's.\n");
    form.reset();
    map.terminate();
    map.waitForFinished(10000);
    return failures ? 1 : 0;
}
