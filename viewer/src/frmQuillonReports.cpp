// The window's side of the two reports and the customer contact they may print.

#include "frmQuillon.h"

#include "MapunitGrid.h"
#include "NonTechReportsTab.h"
#include "OptionsTab.h"
#include "ReportJob.h"
#include "ReportsTab.h"
#include "quillon/viewer/CustomerLabel.h"
#include "quillon/viewer/DesktopChecks.h"
#include "quillon/viewer/NonTechReport.h"
#include "quillon/viewer/RatingReport.h"
#include "quillon/viewer/RulesTree.h"
#include "quillon/viewer/Session.h"
#include "quillon/viewer/modGenericFunctions.h"
#include "ui_NonTechReportsTab.h"
#include "ui_OptionsTab.h"
#include "ui_ReportsTab.h"

#include <QApplication>

namespace qln::viewer {

bool frmQuillon::CheckOutlookCustomer()
{
    if (!m_session.CheckOutlookCustomer(windowMessages(m_session, *this))) {
        m_reports->ui().chkAmbrelAddress->setEnabled(false);
        m_nonTech->ui().chkCustomerAddress->setEnabled(false);
    }
    return true;
}

int frmQuillon::SetNonTechRSs()
{
    if (m_session.SetNonTechRSs() != 1) return -1;
    m_nonTech->setCategories(PopulateCategories(*m_session.nonTechRSs()));
    return 1;
}

void frmQuillon::cmdGenerateReport_Click()
{
    if (selectedImage() == kClosedFolder) {
        m_session.reportInfo("cmdGenerateReport_Click", "Select a valid attribute to process.");
        return;
    }
    if (MultipleArcviewSessions()) {
        m_session.reportInfo("cmdGenerateReport_Click",
                             "Too many instances of ArcView are running.  Close all but one ArcView to use Quillon.");
        return;
    }
    PopulateReport("MU_Data");
}

int frmQuillon::PopulateReport(const std::string&)
{
    const Messages messages = windowMessages(m_session, *this);
    setStatusText("Processing Attribute ...");
    ado::Recordset selection = m_reports->grid().GetSelectedRS();
    if (selection.recordCount() <= 0) {
        messages.box("No map units selected. Select one or more map units, and then click Preview Report.");
        return -1;
    }
    ado::Recordset userData;
    try {
        if (!m_session.reportUserData) throw RefusedRun("Select a valid attribute to process.");
        userData = m_session.reportUserData();
    } catch (const std::exception& error) {
        m_session.reportInfo("PopulateReport", error.what());
        return -1;
    }

    RatingReportInputs inputs;
    inputs.options = m_reports->options(m_options->ui().optHigher->text().toStdString(),
                                        m_options->ui().optLower->text().toStdString());
    if (m_session.customer()) inputs.customer = *m_session.customer();
    inputs.templatePath = m_session.templatePath("QLNTemplate.dotx");
    const std::string connect = m_session.soilsConnectString();

    // The work has record sets of its own; the session's stay untouched.
    const bool started = runReportJob(
        m_session, *this, "PopulateReport", "Rating report:",
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

void frmQuillon::cmdNonTechReport_Click()
{
    try {
        PopulateNonTechReport();
    } catch (...) {
        QApplication::restoreOverrideCursor();
        m_session.reportCaughtError("cmdNonTechReport_Click", "The non-technical report was not made.");
    }
}

void frmQuillon::PopulateNonTechReport()
{
    NonTechInputs inputs;
    inputs.options = m_nonTech->options();
    if (m_session.customer()) inputs.customer = *m_session.customer();
    inputs.templatePath = m_session.templatePath("QLNNonTech.dotx");
    const ado::Recordset list = m_nonTech->selection();
    if (!m_session.nonTechRSs()) SetNonTechRSs();
    const std::shared_ptr<const NonTechRSs> rss = m_session.nonTechRSs();
    if (!rss) return;
    const std::string connect = m_session.soilsConnectString();

    runReportJob(m_session, *this, "cmdNonTechReport_Click", "Non-technical report:",
                 [connect, rss, list, inputs](engine::clsQuillon& engine, const Messages& jobMessages) mutable {
                     inputs.messages = jobMessages;
                     try {
                         viewer::PopulateNonTechReport(engine, connect, *rss, list, inputs, {});
                     } catch (...) {
                         ReportDocumentFailure(inputs.messages, "PopulateNonTechReport");
                     }
                 });
}

} // namespace qln::viewer
