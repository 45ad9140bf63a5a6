#include "modPopulateReport.h"

#include "MapunitGrid.h"
#include "OptionsTab.h"
#include "ReportJob.h"
#include "ReportsTab.h"
#include "frmQuillon.h"
#include "modInstance.h"
#include "quillon/reporter/SystemError.h"
#include "quillon/viewer/RatingReport.h"
#include "quillon/viewer/modGenericFunctions.h"
#include "quillon/viewer/RulesTree.h"
#include "quillon/viewer/RunOptions.h"
#include "ui_OptionsTab.h"
#include "ui_ReportsTab.h"

#include <filesystem>

namespace qln::viewer {

namespace {

void reportText(ViewerState& st, const char* procedure, const std::string& text)
{
    st.reporter->cReportMsg(reporting::gmrINFO, reporting::gmrDISP, procedure, 1, 0, {text});
}

// The report options as the tab's check boxes and the Options tab's rate captions say.
ReportOptions reportOptions(frmQuillon& form)
{
    const auto& tab = form.reportsTab().ui();
    const auto& options = form.optionsTab().ui();
    ReportOptions chosen;
    chosen.chkMainDescription = tab.chkMainDescription->isChecked();
    chosen.chkInterpReason = tab.chkInterpReason->isChecked();
    chosen.chkAmbrelAddress = tab.chkAmbrelAddress->isEnabled() && tab.chkAmbrelAddress->isChecked();
    chosen.optHigherCaption = options.optHigher->text().toStdString();
    chosen.optLowerCaption = options.optLower->text().toStdString();
    return chosen;
}

} // namespace

void cmdGenerateReport_Click(ViewerState& st, frmQuillon& form)
{
    if (form.selectedImage() == kClosedFolder) {
        reportText(st, "cmdGenerateReport_Click", "Select a valid attribute to process.");
        return;
    }
    if (MultipleArcviewSessions()) {
        reportText(st, "cmdGenerateReport_Click",
                   "Too many instances of ArcView are running.  Close all but one ArcView to use Quillon.");
        return;
    }
    PopulateReport(st, form, "MU_Data");
}

int PopulateReport(ViewerState& st, frmQuillon& form, const std::string&)
{
    const Messages messages = windowMessages(st, form);
    form.setStatusText("Processing Attribute ...");
    ado::Recordset selection = form.reportsTab().grid().GetSelectedRS();
    if (selection.recordCount() <= 0) {
        messages.box("No map units selected. Select one or more map units, and then click Preview Report.");
        return -1;
    }
    ado::Recordset userData;
    try {
        if (!st.reportUserData) throw RefusedRun("Select a valid attribute to process.");
        userData = st.reportUserData();
    } catch (const std::exception& error) {
        reportText(st, "PopulateReport", error.what());
        return -1;
    }

    RatingReportInputs inputs;
    inputs.options = reportOptions(form);
    if (st.customer) inputs.customer = *st.customer;
    inputs.templatePath = std::filesystem::path(st.settings[Setting::InstalledDrive] + st.settings[Setting::SoilsPath]) /
                          "Templates" / "QLNTemplate.dotx";
    const std::string connect = st.soilsConnectString;

    // The work has record sets of its own; the window's stay untouched.
    const bool started = runReportJob(
        st, form, "PopulateReport", "Rating report:",
        [connect, userData, selection, inputs](engine::clsQuillon& engine, const Messages& jobMessages) mutable {
            inputs.messages = jobMessages;
            try {
                inputs.months = ReportMonths(engine, connect);
                viewer::PopulateReport(engine, connect, userData, selection, inputs, {});
            } catch (...) {
                ReportDocumentFailure(inputs.messages, "PopulateReport");
            }
        });
    return started ? 1 : -1;
}

} // namespace qln::viewer
