// The background job and the window's side of it, without an installation.

#include "BackgroundRun.h"
#include "JobControls.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QThread>

#include <atomic>
#include <stdexcept>

using namespace qln::viewer;

namespace {

// Waits, pumping events, until the run has delivered its end.
bool waitIdle(const BackgroundRun& run)
{
    return QTest::qWaitFor([&] { return !run.isRunning(); }, 10000);
}

} // namespace

class TestBackgroundRun : public QObject {
    Q_OBJECT
private slots:
    void resultAndProgressArriveOnTheGuiThread()
    {
        BackgroundRun run;
        QSignalSpy progress(&run, &BackgroundRun::progressed);
        QSignalSpy finished(&run, &BackgroundRun::finished);
        QThread* workThread = nullptr;
        QThread* doneThread = nullptr;
        long sum = 0;
        BackgroundRun::Result got;
        QVERIFY(run.start(
            [&](BackgroundRun::Context& context) {
                workThread = QThread::currentThread();
                for (long i = 1; i <= 1000; ++i) {
                    sum += i;
                    context.progress(i, 1000);
                }
            },
            [&](const BackgroundRun::Result& result) {
                doneThread = QThread::currentThread();
                got = result;
                QCOMPARE(finished.count(), 0);  // done runs before finished()
            }));
        QVERIFY(run.isRunning());
        QVERIFY(waitIdle(run));
        QCOMPARE(finished.count(), 1);
        QVERIFY(got.outcome == BackgroundRun::Outcome::Finished);
        QVERIFY(!got.error);
        QCOMPARE(sum, 500500L);
        QVERIFY(workThread != QThread::currentThread());
        QCOMPARE(doneThread, QThread::currentThread());
        // A thousand reports are merged into far fewer deliveries, none after the end.
        QVERIFY(progress.count() >= 1);
        QVERIFY(progress.count() < 1000);
        QCOMPARE(progress.last().at(2).toLongLong(), 1000LL);
        QVERIFY(progress.last().at(0).toString().isEmpty());
    }

    void cancelStopsTheWorkAndWinsOverItsEnding()
    {
        BackgroundRun run;
        std::atomic<bool> started{false};
        BackgroundRun::Result got;
        QVERIFY(run.start(
            [&](BackgroundRun::Context& context) {
                started = true;
                while (!context.cancelled()) QThread::msleep(1);
                throw std::runtime_error("stopped");
            },
            [&](const BackgroundRun::Result& result) { got = result; }));
        QVERIFY(QTest::qWaitFor([&] { return started.load(); }));
        // A second job waits for the first.
        QVERIFY(!run.start([](BackgroundRun::Context&) {}, nullptr));
        run.cancel();
        QVERIFY(waitIdle(run));
        QVERIFY(got.outcome == BackgroundRun::Outcome::Cancelled);

        // A job that ignores Cancel and returns is still reported as cancelled.
        QVERIFY(run.start(
            [&](BackgroundRun::Context& context) {
                while (!context.cancelled()) QThread::msleep(1);
            },
            [&](const BackgroundRun::Result& result) { got = result; }));
        run.cancel();
        QVERIFY(waitIdle(run));
        QVERIFY(got.outcome == BackgroundRun::Outcome::Cancelled);
        QVERIFY(!got.error);
    }

    void failureCarriesTheExceptionBack()
    {
        BackgroundRun run;
        BackgroundRun::Result got;
        QVERIFY(run.start([](BackgroundRun::Context&) { throw std::out_of_range("no such map unit"); },
                          [&](const BackgroundRun::Result& result) { got = result; }));
        QVERIFY(waitIdle(run));
        QVERIFY(got.outcome == BackgroundRun::Outcome::Failed);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, std::rethrow_exception(got.error));
    }

    void destroyingARunningJobCancelsAndWaits()
    {
        std::atomic<bool> ended{false};
        bool doneCalled = false;
        {
            BackgroundRun run;
            QVERIFY(run.start(
                [&](BackgroundRun::Context& context) {
                    while (!context.cancelled()) QThread::msleep(1);
                    ended = true;
                },
                [&](const BackgroundRun::Result&) { doneCalled = true; }));
        }
        QVERIFY(ended.load());
        QCoreApplication::processEvents();
        QVERIFY(!doneCalled);
    }

    void controlsAreHeldDuringTheJobAndGivenBackTheirOwnState()
    {
        QWidget window;
        QStatusBar bar(&window);
        QPushButton tree("tree", &window), reset("reset", &window);
        QAction change("change");
        reset.setEnabled(false);  // was off before: stays off after
        JobControls jobs(bar, {&tree, &reset}, {&change}, nullptr);

        std::atomic<int> step{0};
        std::vector<QString> order;
        QVERIFY(jobs.start(
            "Processing Attribute ...",
            [&](BackgroundRun::Context& context) {
                context.progress(3, 40);
                while (step < 1) QThread::msleep(1);
                context.progress(4096, 0);
                while (step < 2) QThread::msleep(1);
                context.stage("Storing");
                while (step < 3) QThread::msleep(1);
                context.progress(7, 9);
                while (step < 4) QThread::msleep(1);
            },
            [&](const BackgroundRun::Result&) {
                order.push_back("done");
                QVERIFY(jobs.busy());
                QVERIFY(!tree.isEnabled());
            }));
        QVERIFY(jobs.busy());
        QVERIFY(!tree.isEnabled());
        QVERIFY(!reset.isEnabled());
        QVERIFY(!change.isEnabled());
        QVERIFY(!jobs.cancelButton().isHidden());
        QVERIFY(QTest::qWaitFor([&] { return jobs.progressLabel().text() == "3 of 40"; }));

        jobs.whenIdle([&] { order.push_back("waited"); });
        QVERIFY(order.empty());
        // A count without a total is of rows a query has read.
        step = 1;
        QVERIFY(QTest::qWaitFor([&] { return jobs.progressLabel().text() == "4096 rows read"; }));
        // A named stage starts its own count.
        step = 2;
        QVERIFY(QTest::qWaitFor([&] { return jobs.progressLabel().text() == "Storing"; }));
        step = 3;
        QVERIFY(QTest::qWaitFor([&] { return jobs.progressLabel().text() == "Storing 7 of 9"; }));
        step = 4;
        QVERIFY(QTest::qWaitFor([&] { return !jobs.busy(); }));
        QCOMPARE(order, (std::vector<QString>{"done", "waited"}));
        QVERIFY(tree.isEnabled());
        QVERIFY(!reset.isEnabled());
        QVERIFY(change.isEnabled());
        QVERIFY(jobs.cancelButton().isHidden());

        jobs.whenIdle([&] { order.push_back("now"); });
        QCOMPARE(order.back(), QString("now"));
    }

    void cancelButtonStopsTheJob()
    {
        QWidget window;
        QStatusBar bar(&window);
        JobControls jobs(bar, {}, {}, nullptr);
        BackgroundRun::Outcome outcome = BackgroundRun::Outcome::Finished;
        QVERIFY(jobs.start(
            "Processing Attribute ...",
            [](BackgroundRun::Context& context) {
                while (!context.cancelled()) QThread::msleep(1);
            },
            [&](const BackgroundRun::Result& result) { outcome = result.outcome; }));
        jobs.cancelButton().click();
        QVERIFY(!jobs.cancelButton().isEnabled());
        QVERIFY(QTest::qWaitFor([&] { return !jobs.busy(); }));
        QVERIFY(outcome == BackgroundRun::Outcome::Cancelled);
    }
};

QTEST_MAIN(TestBackgroundRun)
#include "test_BackgroundRun.moc"
