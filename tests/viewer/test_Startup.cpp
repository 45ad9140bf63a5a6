// Start-up of the real viewer in this process: components created by ProgID from the
// build's libraries, settings from a fresh registry, the bundled rules, boxes recorded.

#include "ReporterDisplay.h"
#include "ViewerFixture.h"
#include "frmAbout.h"
#include "frmHelp.h"
#include "frmQuillon.h"
#include "JobControls.h"
#include "WindowLink.h"
#include "quillon/viewer/DesktopChecks.h"
#include "OptionPanel.h"
#include "OptionsTab.h"
#include "ReportsTab.h"
#include "Startup.h"
#include "quillon/components/Components.h"
#include "ServedGis.h"
#include "quillon/dde/Dde.h"
#include "quillon/viewer/link/LinkTexts.h"
#include "quillon/desktop/InstanceLock.h"
#include "quillon/desktop/WindowDirectory.h"
#include "quillon/viewer/RulesTree.h"
#include "ui_OptionsTab.h"
#include "ui_frmQuillon.h"

#include <QAction>
#include <QMenuBar>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

using namespace qln;
using namespace qln::viewer;
using namespace std::chrono_literals;

class StartupTest : public test::ViewerTest {
    Q_OBJECT

private:
    QStringList m_steps;

    std::unique_ptr<frmQuillon> start(const std::string& commandLine = "")
    {
        m_session->commandLine = commandLine;
        m_session->onStep = [this](const char* name) { m_steps << name; };
        return Main(*m_session);
    }
    QStringList boxesContaining(const QString& text) const
    {
        return m_install->boxes().filter(text);
    }

private slots:
    void init()
    {
        setUpViewer();
        m_steps.clear();
    }
    void cleanup() { tearDownViewer(); }

    void startsInOrderAndOpensTheRememberedDatabase()
    {
        // The window shows first; the remembered database is then read on the worker.
        bool shownWhileOpening = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* window = qobject_cast<frmQuillon*>(w))
                    shownWhileOpening = window->isVisible() && window->jobControls().busy();
        });
        const auto form = start();
        QVERIFY2(form, qPrintable(m_install->boxes().join("\n")));
        QCOMPARE(m_steps, (QStringList{"QLNIsRunning", "Form_Load", "MultipleArcviewSessions", "Check_QLN_System",
                                       "Initialize_DDE_Connection", "SetFileDefaults", "GetMainQLNRS",
                                       "DisableControls", "OverwriteOutputDB", "SetMainFormValues", "Show",
                                       "OpenSoilsDatabase", "CheckOutlookCustomer"}));
        QVERIFY(shownWhileOpening);
        QVERIFY(form->isVisible());
        QVERIFY(m_session->state() != SessionState::Starting);
        QCOMPARE(form->windowTitle(), QString("Quillon"));
        QVERIFY(m_install->boxes().isEmpty());

        auto& ui = form->ui();
        QCOMPARE(ui.SSTab1->currentIndex(), 0);
        QCOMPARE(ui.SSTab1->tabText(3), QString("Non-Tech Reports"));
        QVERIFY(ui.SSTab1->isTabEnabled(0) && ui.SSTab1->isTabEnabled(1));
        // The remembered soils database was opened as if chosen: the report tabs are open.
        QVERIFY(ui.SSTab1->isTabEnabled(2) && ui.SSTab1->isTabEnabled(3));
        QVERIFY(ui.mnuFileReport->isEnabled() && ui.mnuFileNonTechReports->isEnabled());
        QVERIFY(ui.mnuHelpContents->isEnabled());
        QCOMPARE(form->FindTabNumber("Description"), 1);
        QCOMPARE(form->FindTabNumber("description"), -1);

        // The tree holds the bundled rules' folders with the first one selected.
        QVERIFY(ui.tvInterps->topLevelItemCount() > 0);
        QCOMPARE(ui.tvInterps->currentItem(), ui.tvInterps->topLevelItem(0));
        QCOMPARE(form->selectedImage(), QString(kClosedFolder));
        // The remembered soils database is selected, so the tree is enabled again.
        QCOMPARE(form->optionsTab().ui().cboSSAList->currentText(), QString("sample.mdb"));
        QVERIFY(ui.tvInterps->isEnabled());

        QVERIFY(QRegularExpression("^Screen may be resized\\. \\(\\d+,\\d+\\)$").match(form->statusText()).hasMatch());
        QVERIFY2(form->sizeInTwips().width() >= 11985, qPrintable(form->statusText()));

        // The window is published for later copies under its caption.
        QVERIFY(viewer::QLNIsRunning(desktopWindows()));
    }

    void emptyCommandLineRunsUnlinkedWithoutProcessButtonsOrNotification()
    {
        const auto form = start();
        QVERIFY(form);
        QVERIFY(!m_session->ArcViewLinked());
        QVERIFY(form->ui().cmdCreateDBFFile->isHidden());
        QVERIFY(form->ui().cmdRESET->isHidden());
        QVERIFY(!m_steps.contains("Open_DDE_Connection"));
        QVERIFY(!m_steps.contains("RequestRegistryNotify"));
    }

    void badCommandLineIsReportedAndStartUpGoesOnUnlinked()
    {
        const auto form = start("\"a|b|c\"");
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QVERIFY(!m_session->ArcViewLinked());
        QCOMPARE(boxesContaining("Quillon requires 2 arguments:").size(), 1);
        QVERIFY(form->ui().cmdCreateDBFFile->isHidden());
    }

    void linkedStartUpServesTheGisAndObeysItsCommands()
    {
        const std::string folder = (m_install->folder / "soils").string();
        std::ofstream(m_install->folder / "soils" / "layer.dbf") << "x";
        ServedGis gis;
        const auto form = start("\"" + folder + "|layer.dbf\"");
        QVERIFY2(form, qPrintable(m_install->boxes().join("\n")));
        QVERIFY(m_session->ArcViewLinked());
        QCOMPARE(gisLinkOf(*m_session)->ShapeDirectory(), folder);
        QCOMPARE(gisLinkOf(*m_session)->AttributeFileName(), std::string("layer"));
        QVERIFY(m_steps.contains("Open_DDE_Connection"));
        QVERIFY(m_steps.contains("RequestRegistryNotify"));
        QVERIFY(!form->ui().cmdCreateDBFFile->isHidden());

        // The reset button asks the GIS to remove the viewer's themes.
        form->cmdRESET_Click();
        QTRY_COMPARE(gis.commands(), std::vector<std::string>{link::CleanupCommand()});

        // The handshake value reaches the window through the settings watcher and Timer1.
        // Disabled, the window takes nothing but File, Exit: the user can always end it.
        m_install->set("EnableQLNDialog", "N");
        QTRY_VERIFY(!form->centralWidget()->isEnabled());
        QCOMPARE(form->windowTitle(), QString("Quillon - Disabled"));
        QVERIFY(form->menuBar()->isEnabled() && form->ui().mnuFileExit->isEnabled());
        QVERIFY(!form->ui().mnuChangeDatabase->isEnabled() && !form->ui().mnuFileOptions->isEnabled());
        QVERIFY(!form->ui().mnuFileReport->isEnabled());
        m_install->set("EnableQLNDialog", "Y");
        QTRY_VERIFY(form->centralWidget()->isEnabled());
        QCOMPARE(form->windowTitle(), QString("Quillon"));
        QVERIFY(form->ui().mnuChangeDatabase->isEnabled() && form->ui().mnuFileOptions->isEnabled());
        QVERIFY(form->ui().mnuFileReport->isEnabled());

        QVERIFY(sendToViewer("DISABLECONTROLS").accepted);
        QVERIFY(!form->ui().tvInterps->isEnabled());
        QVERIFY(sendToViewer("ENABLECONTROLS").accepted);
        QVERIFY(form->ui().tvInterps->isEnabled());
        QVERIFY(!sendToViewer("exit").accepted);
        QVERIFY(form->isVisible());
        QVERIFY(sendToViewer("EXIT").accepted);
        QTRY_VERIFY(!form->isVisible());
        // Unloaded: the viewer no longer serves the GIS.
        QVERIFY_THROWS_EXCEPTION(dde::DdeError, dde::Conversation("Quillon", "messageToVB"));
    }

    void linkedStartUpWithoutTheGisIsReportedAndEnds()
    {
        const std::string folder = (m_install->folder / "soils").string();
        std::ofstream(m_install->folder / "soils" / "layer.dbf") << "x";
        // Unquoted, as a shell may pass it.
        QVERIFY(!start(folder + "|layer.dbf"));
        QVERIFY(m_session->ArcViewLinked());
        QCOMPARE(gisLinkOf(*m_session)->ShapeDirectory(), folder);
        QVERIFY(m_steps.contains("Open_DDE_Connection"));
        QVERIFY(!m_steps.contains("Show"));
        QCOMPARE(boxesContaining("No program serves ArcView|System").size(), 1);
    }

    void missingAttributeFileIsReportedAndStartUpGoesOnUnlinked()
    {
        const std::string folder = (m_install->folder / "soils").string();
        const auto form = start("\"" + folder + "|nothere.dbf\"");
        QVERIFY(form);
        QVERIFY(!m_session->ArcViewLinked());
        QCOMPARE(boxesContaining("nothere.dbf").size(), 1);
        QVERIFY(form->ui().cmdRESET->isHidden());
    }

    void missingInstalledDriveReportsEveryValueNameInOrder()
    {
        m_install->remove("InstalledDrive");
        QVERIFY(!start());
        QStringList names;
        for (const QString& box : boxesContaining("Unable to query the registry for "))
            names << box.section("Unable to query the registry for ", 1).section('.', 0, 0);
        QCOMPARE(names, (QStringList{"InstalledDrive", "SoilsPath", "ArcviewLegendPath", "SoilsDataPath",
                                     "SoilsDataFile", "QuillonDBDSN", "OutputDBPath", "OutputDBFile", "OutputDBDSN",
                                     "OutputDBOrig", "VBHelpPath", "VBHelpFile"}));
        QVERIFY(!m_steps.contains("Show"));
    }

    void secondCopyIsRefusedBeforeAnyComponentIsCreated()
    {
        for (const char* title : {"quillon", "Quillon - Disabled"}) {
            desktop::PublishedWindow other(title, false);
            m_steps.clear();
            QVERIFY(!start());
            QCOMPARE(m_steps, QStringList{"QLNIsRunning"});
            QVERIFY(!m_session->hasReporter() && !m_session->hasEngine() && !m_session->hasUtilities());
        }
        const auto boxes = m_install->seam.shown();
        QCOMPARE(boxes.size(), std::size_t{2});
        QCOMPARE(QString::fromStdString(boxes[0].text), QString("Quillon is already running."));
        QCOMPARE(QString::fromStdString(boxes[0].title), QString("Quillon"));
        QVERIFY(boxes[0].icon == desktop::Icon::Critical);

        // "Quillon 2" is another program.
        desktop::PublishedWindow notUs("Quillon 2", true);
        QVERIFY(start());
    }

    void copyStartedAtTheSameMomentIsRefusedByTheLock()
    {
        auto held = desktop::InstanceLock::tryAcquire("quillon");
        QVERIFY(held);
        QVERIFY(!start());
        QCOMPARE(m_install->boxes(), QStringList{"Quillon is already running."});
        QVERIFY(!m_session->hasReporter());
    }

    void twoGisWindowsAreRefusedOneIsAccepted()
    {
        desktop::PublishedWindow first("ArcView GIS 3.2 - soils.apr", true);
        desktop::PublishedWindow hidden("ArcView GIS 3.2 - hidden", false);
        desktop::PublishedWindow notes("My ArcView GIS notes", true);
        {
            const auto form = start();
            QVERIFY2(form, qPrintable(m_install->boxes().join("\n")));
        }
        m_session = std::make_unique<Session>();
        desktop::PublishedWindow second("arcview gis 3.2", true);
        QVERIFY(!start());
        QCOMPARE(boxesContaining("Too many instances of ArcView are running.  Close all but one ArcView to use Quillon.")
                     .size(),
                 1);
        QVERIFY(!m_session->hasReporter());
    }

    void unregisteredEngineIsNamedInAFatalBox()
    {
        registry::Store::fromEnvironment().deleteKey(registry::Hive::ClassesRoot, "QLN2000.clsQuillon");
        QVERIFY(!start());
        const auto boxes = m_install->seam.shown();
        QCOMPARE(boxes.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(boxes[0].title), QString("Fatal Message - Quillon"));
        QVERIFY2(QString::fromStdString(boxes[0].text).contains("QLN2000.clsQuillon"), boxes[0].text.c_str());
        QVERIFY(!m_steps.contains("SetFileDefaults"));
    }

    void missingRulesTableEndsStartUpBeforeTheWindowShows()
    {
        m_install->rulesSql("DROP TABLE OptionList");
        QVERIFY(!start());
        QVERIFY(m_steps.contains("GetMainQLNRS"));
        QVERIFY(!m_steps.contains("OverwriteOutputDB"));
        QVERIFY(!m_steps.contains("Show"));
        QVERIFY(!m_install->boxes().isEmpty());
    }

    void dataSourceDifferingInCaseIsNotFound()
    {
        m_install->set("QuillonDBDSN", "quillondsn2000");
        QVERIFY(!start());
        QCOMPARE(boxesContaining("ODBC Data source name (DSN) quillondsn2000 not found.").size(), 1);
        QVERIFY(!m_steps.contains("GetMainQLNRS"));
    }

    void treeThatCannotBeFilledEndsThroughUnloadAndFreesTheWindowEntry()
    {
        m_install->rulesSql("ALTER TABLE Folders DROP COLUMN DisplayFlag");
        QVERIFY(!start());
        QCOMPARE(boxesContaining("Error occurred populating interpretation list.  Contact the Help Desk or your support person.")
                     .size(),
                 1);
        QVERIFY(!m_steps.contains("Show"));
        QVERIFY(!viewer::QLNIsRunning(desktopWindows()));
    }

    void missingHelpSwitchesHelpOff()
    {
        m_install->set("VBHelpFile", "missing.html");
        const auto form = start();
        QVERIFY(form);
        QCOMPARE(boxesContaining("Unable to find the file " + QString::fromStdString(m_install->folder.path().string()) +
                                 "/help/missing.html.")
                     .size(),
                 1);
        QVERIFY(m_session->settings().helpFile.empty());
        QVERIFY(!form->ui().mnuHelpContents->isEnabled());
        QVERIFY(!form->ui().mnuHelpIndex->isEnabled());
        QVERIFY(!form->ui().mnuHelpSearch->isEnabled());
    }

    void gisCommandsBeforeTheWindowIsReadyChangeNothing()
    {
        QVERIFY(m_session->state() == SessionState::Starting);
        m_session->createComponents();
        m_session->createUtilities();
        frmQuillon form(*m_session);
        CreateGisLink(*m_session, form);
        link::GisLink& gis = *gisLinkOf(*m_session);
        form.DisableControls();
        gis.Form_LinkExecute("ENABLECONTROLS");
        QVERIFY(!form.ui().cmdCreateDBFFile->isEnabled() && !form.ui().tvInterps->isEnabled());
        m_session->windowShown();
        QVERIFY(!gis.Form_LinkExecute("enablecontrols").accepted);
        QVERIFY(!form.ui().tvInterps->isEnabled());
        gis.Form_LinkExecute("ENABLECONTROLS");
        QVERIFY(form.ui().cmdCreateDBFFile->isEnabled() && form.ui().tvInterps->isEnabled() &&
                form.ui().cmdRESET->isEnabled());
        gis.Form_LinkExecute("DISABLECONTROLS");
        QVERIFY(!form.ui().cmdRESET->isEnabled());
    }

    void systemInformationRunsTheInstalledToolOrSaysItIsUnavailable()
    {
        const auto form = start();
        QVERIFY(form);
        StartSysInfo(*m_session);
        QCOMPARE(m_install->boxes(), QStringList{"System Information Is Unavailable At This Time"});
        m_install->setAt("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", "/bin/true");
        StartSysInfo(*m_session);
        QCOMPARE(m_install->boxes().size(), 1);
    }

    void tabChangesFollowTheMenusAndGateTheReportButton()
    {
        const auto form = start();
        QVERIFY(form);
        auto& ui = form->ui();
        auto* report = form->reportsTab().findChild<QPushButton*>("cmdGenerateReport");
        auto* ssaList = form->optionsTab().ui().cboSSAList;
        QCOMPARE(ssaList->focusPolicy(), Qt::StrongFocus);

        ui.mnuFileDescription->trigger();
        QCOMPARE(ui.SSTab1->currentIndex(), 1);
        QCOMPARE(ssaList->focusPolicy(), Qt::ClickFocus);

        // Opening a soils database enables the report tabs.
        ui.SSTab1->setTabEnabled(2, true);
        // An attribute whose options show in full can be reported; a folder cannot.
        form->optionPanel().ProcessInterp("PHY_AWC");
        QVERIFY(form->optionPanel().reportReady());
        form->SSTab1_Click(2);
        QVERIFY(report->isEnabled());
        QCOMPARE(form->optionsTab().ui().txtDBFColumn->focusPolicy(), Qt::ClickFocus);
        form->optionPanel().ProcessInterp("PHYS");
        QVERIFY(!form->optionPanel().reportReady());
        form->SSTab1_Click(2);
        QVERIFY(!report->isEnabled());

        ui.mnuFileOptions->trigger();
        QCOMPARE(ui.SSTab1->currentIndex(), 0);
        QCOMPARE(ssaList->focusPolicy(), Qt::StrongFocus);
        QVERIFY(!report->isEnabled());
    }

    void helpMenusOpenTheBookOnTheirTabs()
    {
        const auto form = start();
        QVERIFY(form);
        form->ui().mnuHelpIndex->trigger();
        auto* help = form->findChild<frmHelp*>("frmHelp");
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->tabs()->currentIndex(), 1);
        form->ui().mnuHelpSearch->trigger();
        QCOMPARE(help->tabs()->currentIndex(), 2);
        form->ui().mnuHelpContents->trigger();
        QCOMPARE(help->tabs()->currentIndex(), 0);
        QVERIFY(help->page()->toPlainText().contains("The attribute tree"));
    }

    void emptySoilsFolderIsReportedAndLeavesTheTreeDisabled()
    {
        std::filesystem::create_directories(m_install->folder / "empty");
        m_install->set("SoilsDataPath", (m_install->folder / "empty").string());
        const auto form = start();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QCOMPARE(boxesContaining("There are no valid soil databases in current default folder.  Select valid database on "
                                 "Options Tab.")
                     .size(),
                 1);
        QCOMPARE(form->optionsTab().ui().cboSSAList->count(), 0);
        QVERIFY(!form->ui().tvInterps->isEnabled());
        QVERIFY(!form->ui().cmdCreateDBFFile->isEnabled());
    }
};

QTEST_MAIN(StartupTest)
#include "test_Startup.moc"
