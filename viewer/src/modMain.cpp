#include "modMain.h"

#include "ErrorReport.h"
#include "frmQuillon.h"
#include "modGisLink.h"
#include "modInstance.h"
#include "modCustomer.h"
#include "modResults.h"
#include "modSoilsDatabase.h"
#include "quillon/components/Components.h"
#include "quillon/desktop/MessageBox.h"
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

void step(ViewerState& st, const char* name)
{
    if (st.onStep) st.onStep(name);
}

// Reads one rules table through the engine; false when it gave no record set.
bool readRules(ViewerState& st, ado::Recordset& into, const char* sql)
{
    try {
        into = st.engine->GetMainQLNRS(sql);
        return into.isOpen();
    } catch (...) {
        ReportCaughtError(st, "Check_QLN_System", sql);
        return false;
    }
}

} // namespace

int Check_QLN_System(ViewerState& st, frmQuillon& form)
{
    step(st, "Check_QLN_System");
    st.reporter = components::create<clsReporter>(kReporterProgId);
    st.engine = createEngine();

    if (!st.reporter->cInitReporting("AMBApps", 2, 14)) {
        criticalBox("Fatal Message - Quillon",
                    std::string("Unable to start the Message Reporting Utility.  ") +
                        "Contact the Help Desk or your support person.");
        return -1;
    }
    st.spareRecordset = ado::Recordset();
    st.spareRecordset.open();

    CreateGisLink(st, form);
    step(st, "Initialize_DDE_Connection");
    int status = st.gisLink->Initialize_DDE_Connection(st.commandLine);
    auto& ui = form.ui();
    if (status != 1 || !st.ArcViewLinked()) {
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
        step(st, "Open_DDE_Connection");
        status = st.gisLink->Open_DDE_Connection();
    }

    if (status == 1) {
        step(st, "SetFileDefaults");
        SettingsContext context{*st.genutils, *st.reporter};
        status = SetFileDefaults(context, st.settings);
    }
    if (status != 1) return status;

    step(st, "GetMainQLNRS");
    const bool all = readRules(st, st.rsAttributes, "SELECT * FROM Attributes ORDER BY AttrSeq") &&
                     readRules(st, st.rsAlgorithms,
                               "SELECT * FROM AttrAlgorithms, ValidAlgorithms WHERE "
                               "AttrAlgorithms.AlgorithmName=ValidAlgorithms.Name ORDER BY AlgorithmSeq") &&
                     readRules(st, st.rsFolders, "SELECT * FROM Folders ORDER BY FolderSeq") &&
                     readRules(st, st.rsOptionList, "SELECT * FROM OptionList");
    return all ? status : -1;
}

std::unique_ptr<frmQuillon> Main(ViewerState& st)
{
    st.starting = true;
    st.databaseChanged = false;

    step(st, "QLNIsRunning");
    if (QLNIsRunning(st.instanceLock)) {
        criticalBox("Quillon", "Quillon is already running.");
        return nullptr;
    }

    step(st, "Form_Load");
    auto form = std::make_unique<frmQuillon>(st);
    try {
        form->Form_Load();
    } catch (const std::exception& error) {
        criticalBox("Fatal Message - Quillon", error.what());
        return nullptr;
    }
    form->setStatusText("Loading ...");

    step(st, "MultipleArcviewSessions");
    if (MultipleArcviewSessions()) {
        criticalBox("Quillon", "Too many instances of ArcView are running.  Close all but one ArcView to use Quillon.");
        return nullptr;
    }

    st.firstOpening = true;
    st.MainFormReady = false;

    try {
        if (Check_QLN_System(st, *form) != 1) return nullptr;
    } catch (const std::exception& error) {
        // A component that cannot be created: nothing can report it but a box.
        criticalBox("Fatal Message - Quillon", error.what());
        return nullptr;
    }

    auto& ui = form->ui();
    step(st, "DisableControls");
    form->DisableControls();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ui.SSTab1->setTabEnabled(2, false);
    ui.SSTab1->setTabEnabled(3, false);
    ui.mnuFileReport->setEnabled(false);
    ui.mnuFileNonTechReports->setEnabled(false);
    ui.tvInterps->setEnabled(false);
    ui.SSTab1->setCurrentIndex(0);
    // Help switched off by the settings: its menus lead nowhere.
    for (QAction* help : {ui.mnuHelpContents, ui.mnuHelpIndex, ui.mnuHelpSearch})
        help->setEnabled(!st.settings.helpFile.empty());

    step(st, "OverwriteOutputDB");
    bool shown = false;
    if (OverwriteOutputDB(st) == 1) {
        step(st, "SetMainFormValues");
        if (form->SetMainFormValues() == 1) {
            step(st, "Show");
            form->show();
            shown = true;
            st.MainFormReady = true;
            if (!form->optionsTab().ui().cboSSAList->currentText().isEmpty()) {
                form->EnableControls();
                // The remembered database is opened as if the user had chosen it, once the
                // window shows: read on the worker, however large, while the window paints.
                step(st, "OpenSoilsDatabase");
                cboSSAList_Click(st, *form);
            }
        }
    }
    if (!shown) {
        // A loaded, never-shown window would make every later start say "already running".
        QApplication::restoreOverrideCursor();
        form->Form_Unload();
        return nullptr;
    }

    step(st, "CheckOutlookCustomer");
    CheckOutlookCustomer(st, *form);
    form->setStatusText(form->resizedText());
    QApplication::restoreOverrideCursor();
    if (st.ArcViewLinked()) {
        step(st, "RequestRegistryNotify");
        SettingsContext context{*st.genutils, *st.reporter};
        RequestRegistryNotify(context, &link::GisLink::RegistryChanged);
    }
    st.starting = false;
    return form;
}

} // namespace qln::viewer
