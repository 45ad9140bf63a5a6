// The process button in the real viewer: a run on the sample survey rated on a worker
// thread, stored in MU_Data and sent to a GIS; Cancel, the replace question, refused column
// names and closing the window while a run is going.

#include "DescriptionTab.h"
#include "JobControls.h"
#include "OptionsTab.h"
#include "ReporterDisplay.h"
#include "ViewerFixture.h"
#include "frmQuillon.h"
#include "Startup.h"
#include "ServedGis.h"
#include "quillon/dde/Dde.h"
#include "quillon/viewer/ResultsTable.h"
#include "ui_DescriptionTab.h"
#include "ui_OptionsTab.h"
#include "ui_frmQuillon.h"

#include <sqlite3.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTextBrowser>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <atomic>
#include <cstdlib>
#include <future>
#include <map>
#include <mutex>
#include <thread>

using namespace qln;
using namespace qln::viewer;
using namespace std::chrono_literals;

namespace {

QTreeWidgetItem* findNode(QTreeWidget& tree, const QString& key)
{
    QTreeWidgetItemIterator it(&tree);
    for (; *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString() == key) return *it;
    }
    return nullptr;
}

} // namespace

class RunTest : public test::ViewerTest {
    Q_OBJECT

private:
    std::unique_ptr<ServedGis> m_gis;

    std::filesystem::path soils() const { return m_install->folder / "soils"; }
    std::filesystem::path resultsFile() const { return m_install->install / "results" / "results.sqlite"; }

    // mukey -> value of a column of MU_Data; empty when the column does not exist.
    std::map<std::string, Variant> stored(const std::string& column)
    {
        ado::Connection db;
        db.setConnectionString("DBQ=" + ado::quoteConnectionValue(resultsFile().string()) + ";");
        db.open();
        std::map<std::string, Variant> values;
        int index = -1;
        FindRSColumn(db.execute("SELECT * FROM MU_Data WHERE 0"), column, index);
        if (index < 0) return values;
        for (auto rows = db.execute("SELECT mukey, " + column + " FROM MU_Data"); !rows.eof(); rows.moveNext())
            values[rows.value(0).text()] = rows.value(1);
        return values;
    }

    // Selects the attribute, names the column and presses the process button.
    void press(const QString& key, const QString& column)
    {
        QTreeWidgetItem* item = findNode(*m_form->ui().tvInterps, key);
        QVERIFY2(item, qPrintable(key));
        m_form->ui().tvInterps->setCurrentItem(item);
        m_form->optionsTab().ui().txtDBFColumn->setText(column);
        m_form->cmdCreateDBFFile_Click();
    }
    void runToEnd(const QString& key, const QString& column)
    {
        press(key, column);
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->jobControls().busy(), 30000);
    }

private slots:
    void init()
    {
        setUpViewer();
        const std::filesystem::path sample = std::filesystem::path(QUILLON_BUILD_SHARE) / "sample";
        for (const char* ext : {".dbf", ".shp", ".shx", ".cpg"})
            std::filesystem::copy_file(sample / (std::string("sample_soils") + ext),
                                       soils() / (std::string("sample_soils") + ext));
        m_gis = std::make_unique<ServedGis>();
        m_session->commandLine = "\"" + soils().string() + "|sample_soils.dbf\"";
        m_form = Main(*m_session);
        QVERIFY2(m_form, qPrintable(m_install->boxes().join("\n")));
        QVERIFY(m_session->ArcViewLinked());
        QCOMPARE(m_form->ResetTelvaConnection("sample.mdb"), 1);
        QVERIFY2(m_install->boxes().isEmpty(), qPrintable(m_install->boxes().join("\n")));
    }
    void cleanup()
    {
        // The window and the state speak to the GIS until they go.
        m_form.reset();
        m_session.reset();
        m_gis.reset();
        tearDownViewer();
    }

    // The run of the process button is stored (its values are checked against quillon-rate
    // on the session), drawn by the GIS and announced.
    void runIsStoredDrawnAndAnnounced()
    {
        runToEnd("MU_AWS100", "AWS100");
        int rated = 0;
        for (const auto& [mukey, value] : stored("AWS100")) rated += !value.isNull();
        QVERIFY(rated > 10);
        QCOMPARE(m_gis->commands().size(), std::size_t{1});
        QCOMPARE(m_install->boxes().filter("will be added to the view as a temporary theme").size(), 1);
        QVERIFY(!m_form->descriptionTab().ui().txtDescription->toPlainText().isEmpty());
        QVERIFY(m_form->ui().tvInterps->isEnabled());
        QVERIFY(m_form->statusText().startsWith("Screen may be resized."));
    }

    void cancelStoresNothing()
    {
        press("QUA_SLOPE", "SLOPE_WA");
        QVERIFY(m_form->jobControls().busy());
        // tests/e2e/run_screenshot.sh: a picture of the window while the run goes.
        const char* shot = std::getenv("QUILLON_RUN_SCREENSHOT");
        if (shot) {
            QTRY_VERIFY_WITH_TIMEOUT(!m_form->jobControls().busy() ||
                                         m_form->jobControls().progressLabel().text().contains(" of "),
                                     30000);
            if (!m_form->jobControls().busy()) QSKIP("The run ended before its progress could be pictured.");
            QVERIFY(m_form->grab().save(shot));
        }
        QVERIFY(!m_form->ui().tvInterps->isEnabled());
        QVERIFY(!m_form->ui().cmdCreateDBFFile->isEnabled());
        m_form->jobControls().cancelButton().click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->jobControls().busy(), 30000);
        // Taking the picture gives the worker time to rate the small sample and commit the
        // store, which Cancel then comes too late for.
        if (shot && !stored("SLOPE_WA").empty())
            QSKIP("The run had stored its ratings before Cancel followed the picture.");
        QVERIFY(stored("SLOPE_WA").empty());
        QVERIFY(m_gis->commands().empty());
        QVERIFY2(m_install->boxes().isEmpty(), qPrintable(m_install->boxes().join("\n")));
        QCOMPARE(m_form->statusText(), QString("The run was cancelled; nothing was stored."));
        QVERIFY(m_form->ui().tvInterps->isEnabled());
        QVERIFY(m_form->ui().cmdCreateDBFFile->isEnabled());
    }

    // Another program's lock on the results database is waited for on the worker (the
    // session's tests go through both kinds of lock and the run after it): the window keeps
    // turning, the wait shows in the progress line and Cancel ends it.
    void aLockedResultsDatabaseIsWaitedForOnTheWorkerAndCancelled()
    {
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(resultsFile().c_str(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        QElapsedTimer clock;
        clock.start();
        press("QUA_SLOPE", "SLOPE_WA");
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(m_form->jobControls().busy());
        QTRY_VERIFY2_WITH_TIMEOUT(m_form->jobControls().progressLabel().text().contains("locked by another program"),
                                  qPrintable(m_form->jobControls().progressLabel().text() + " / " +
                                             m_form->statusText() + " / " + m_install->boxes().join("|")),
                                  10000);
        m_form->jobControls().cancelButton().click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->jobControls().busy(), 5000);
        QCOMPARE(m_form->statusText(), QString("The run was cancelled; nothing was stored."));
        QVERIFY2(m_install->boxes().isEmpty(), qPrintable(m_install->boxes().join("\n")));
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY(stored("SLOPE_WA").empty());
    }

    // The question comes before the run: No starts none, Yes the run (whose emptying of the
    // column the session's tests check).
    void replaceQuestionNoKeepsTheColumnYesRunsAgain()
    {
        test::runSql(resultsFile(), "ALTER TABLE MU_Data ADD COLUMN AWS100 single; UPDATE MU_Data SET AWS100 = -5");
        const auto before = stored("AWS100");

        m_install->seam.answer(desktop::Button::No);
        press("MU_AWS100", "aws100");
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->jobControls().busy(), 10000);
        QCOMPARE(m_install->boxes().filter("already been added to the view.  Do you want to replace it?").size(), 1);
        QCOMPARE(stored("AWS100").size(), before.size());
        for (const auto& [mukey, value] : stored("AWS100")) QCOMPARE(value.number(), std::optional<double>(-5));
        QVERIFY(m_gis->commands().empty());  // the kept column is not drawn

        m_install->seam.answer(desktop::Button::Yes);
        runToEnd("MU_AWS100", "AWS100");
        QCOMPARE(m_install->boxes().filter("already been added to the view.  Do you want to replace it?").size(), 2);
        QCOMPARE(m_gis->commands().size(), std::size_t{1});
        int rated = 0;
        for (const auto& [mukey, value] : stored("AWS100"))
            rated += !value.isNull() && value.number() != std::optional<double>(-5);
        QVERIFY(rated > 10);
    }

    void badColumnNamesAndFoldersAreRefusedBeforeAnyRun()
    {
        // The box itself takes at most 10 characters.
        m_form->optionsTab().ui().txtDBFColumn->setText("ElevenChars");
        QCOMPARE(m_form->optionsTab().ui().txtDBFColumn->text(), QString("ElevenChar"));
        // Refused by the panel and by the session: each says why in a box (the session's
        // tests go through every kind of bad name).
        for (const char* name : {"", "MUKEY"}) {
            press("MU_AWS100", name);
            QVERIFY2(!m_form->jobControls().busy(), name);
        }
        QCOMPARE(m_install->boxes().size(), 2);
        QCOMPARE(m_install->boxes().filter("column name").size() + m_install->boxes().filter("name for the rating column").size(), 2);
        QCOMPARE(stored("mukey").size(), stored("musym").size());  // no column added anywhere
        QVERIFY(m_gis->commands().empty());

        m_form->ui().tvInterps->setCurrentItem(m_form->ui().tvInterps->topLevelItem(0));
        m_form->cmdCreateDBFFile_Click();
        QVERIFY(!m_form->jobControls().busy());
        QCOMPARE(m_install->boxes().last(), QString("Select a valid attribute to process."));
    }

    // "EXIT" from the GIS and the close box wait for a run; the GIS's other commands too.
    void exitDuringARunWaitsForItsEnd()
    {
        std::atomic<bool> release{false};
        QVERIFY(m_form->jobControls().start(
            "Processing Attribute ...",
            [&](BackgroundRun::Context&) {
                while (!release) std::this_thread::sleep_for(5ms);
            },
            nullptr));
        QVERIFY(!m_form->close());
        QVERIFY(sendToViewer("ENABLECONTROLS").accepted);
        QVERIFY(!m_form->ui().tvInterps->isEnabled());
        QVERIFY(sendToViewer("EXIT").accepted);
        QTest::qWait(100);
        QVERIFY(m_form->isVisible());
        release = true;
        QTRY_VERIFY(!m_form->isVisible());
    }
};

QTEST_MAIN(RunTest)
#include "test_Run.moc"
