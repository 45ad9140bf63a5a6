#include "Startup.h"

#include "WindowLink.h"
#include "frmQuillon.h"
#include "quillon/desktop/MessageBox.h"
#include "quillon/viewer/DesktopChecks.h"
#include "OptionsTab.h"
#include "ui_OptionsTab.h"
#include "ui_frmQuillon.h"

#include <QApplication>

namespace qln::viewer {

using namespace reporting;

namespace {

void criticalBox(const std::string& title, const std::string& text)
{
    desktop::messageBox({text, title, desktop::Buttons::Ok, desktop::Icon::Critical});
}

} // namespace

int Check_QLN_System(Session& session, frmQuillon& form)
{
    session.step("Check_QLN_System");
    session.createComponents();
    if (!session.startReporting()) return -1;

    CreateGisLink(session, form);
    session.step("Initialize_DDE_Connection");
    link::GisLink& link = *gisLinkOf(session);
    int status = link.Initialize_DDE_Connection(session.commandLine);
    auto& ui = form.ui();
    if (status != 1 || !session.ArcViewLinked()) {
        // Without the GIS there is nothing to process into and no theme to delete.
        ui.cmdCreateDBFFile->setEnabled(false);
        ui.cmdCreateDBFFile->hide();
        ui.cmdRESET->setEnabled(false);
        ui.cmdRESET->hide();
        // A bad command line was reported; the viewer goes on unlinked.
        status = 1;
    } else {
        ui.cmdCreateDBFFile->setEnabled(true);
        ui.cmdRESET->setEnabled(true);
        session.step("Open_DDE_Connection");
        status = link.Open_DDE_Connection();
    }

    if (status == 1) {
        session.step("SetFileDefaults");
        status = session.readSettings();
    }
    if (status != 1) return status;

    session.step("GetMainQLNRS");
    return session.readRules() ? status : -1;
}

std::unique_ptr<frmQuillon> Main(Session& session)
{
    session.step("QLNIsRunning");
    if (QLNIsRunning(session.instanceLock)) {
        criticalBox("Quillon", "Quillon is already running.");
        return nullptr;
    }

    session.step("Form_Load");
    auto form = std::make_unique<frmQuillon>(session);
    try {
        form->Form_Load();
    } catch (const std::exception& error) {
        criticalBox("Fatal Message - Quillon", error.what());
        return nullptr;
    }
    form->setStatusText("Loading ...");

    session.step("MultipleArcviewSessions");
    if (MultipleArcviewSessions()) {
        criticalBox("Quillon", "Too many instances of ArcView are running.  Close all but one ArcView to use Quillon.");
        return nullptr;
    }

    try {
        if (Check_QLN_System(session, *form) != 1) return nullptr;
    } catch (const std::exception& error) {
        // A component that cannot be created: nothing can report it but a box.
        criticalBox("Fatal Message - Quillon", error.what());
        return nullptr;
    }

    auto& ui = form->ui();
    session.step("DisableControls");
    form->DisableControls();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    form->enableDatabaseControls(false);
    ui.SSTab1->setCurrentIndex(0);
    // Help switched off by the settings: its menus lead nowhere.
    for (QAction* help : {ui.mnuHelpContents, ui.mnuHelpIndex, ui.mnuHelpSearch})
        help->setEnabled(!session.settings().helpFile.empty());

    session.step("OverwriteOutputDB");
    bool shown = false;
    if (session.OverwriteOutputDB() == 1) {
        session.step("SetMainFormValues");
        if (form->SetMainFormValues() == 1) {
            session.step("Show");
            form->show();
            shown = true;
            session.windowShown();
            if (!form->optionsTab().ui().cboSSAList->currentText().isEmpty()) {
                form->EnableControls();
                // The remembered database is opened as if the user had chosen it, once the
                // window shows: read on the worker, however large, while the window paints.
                session.step("OpenSoilsDatabase");
                form->cboSSAList_Click();
                if (form->unloaded()) {
                    QApplication::restoreOverrideCursor();
                    return form;
                }
            }
        }
    }
    if (!shown) {
        // A loaded, never-shown window would make every later start say "already running".
        QApplication::restoreOverrideCursor();
        form->Form_Unload();
        return nullptr;
    }

    session.step("CheckOutlookCustomer");
    form->CheckOutlookCustomer();
    form->setStatusText(form->resizedText());
    QApplication::restoreOverrideCursor();
    if (session.ArcViewLinked()) {
        session.step("RequestRegistryNotify");
        SettingsContext context{session.genutils(), session.reporter()};
        RequestRegistryNotify(context, &link::GisLink::RegistryChanged);
    }
    return form;
}

} // namespace qln::viewer
