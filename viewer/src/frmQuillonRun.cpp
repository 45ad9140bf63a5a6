// The process button: the run planned by the session, checked and rated on workers, and
// shown once stored.

#include "frmQuillon.h"

#include "DescriptionTab.h"
#include "JobControls.h"
#include "OptionPanel.h"
#include "OptionsTab.h"
#include "WindowLink.h"
#include "quillon/viewer/DesktopChecks.h"
#include "quillon/viewer/RulesTree.h"
#include "quillon/viewer/Session.h"
#include "ui_DescriptionTab.h"
#include "ui_OptionsTab.h"

#include <QApplication>
#include <QTextBrowser>

namespace qln::viewer {

namespace {

constexpr const char* kProc = "cmdCreateDBFFile_Click";
constexpr int kMsgThemeAdded = 1500;

} // namespace

void frmQuillon::finishRun()
{
    QApplication::restoreOverrideCursor();
    setStatusText(resizedText());
}

// Steps 10 and 11 of a run, on the GUI thread once the ratings are stored.
void frmQuillon::showRun(const RatingJob& job)
{
    try {
        ado::Recordset& attributes = m_session.selectAttribute(job.nodeKey);
        auto& o = m_options->ui();
        const link::SelectedAttribute selected{job.nodeKey, o.cboInterpOptions->currentText().toStdString(),
                                               o.cboOptionList->currentText().toStdString(), job.ratings->field(2).name};
        link::GisLink* gis = gisLinkOf(m_session);
        if (gis && gis->Refresh_DDE_Data(attributes, selected, m_session.settings().LegendFolder) == 1)
            m_session.reporter().cReportMsg(reporting::gmrINFO, reporting::gmrDISP, kProc, kMsgThemeAdded, 0,
                                            {gis->CurrentThemeTitle()});
        m_description->ui().txtDescription->setText(QString::fromStdString(attributes.value("Description").text()));
    } catch (...) {
        m_session.reportRunError(std::current_exception(), 10);
    }
}

// Steps 8 to 11 once the rating column may be written.
void frmQuillon::startRating(const std::shared_ptr<RatingJob>& job)
{
    m_job->start(
        "Processing Attribute ...", [job](BackgroundRun::Context& context) { Session::rate(*job, context); },
        [this, job](const BackgroundRun::Result& result) {
            // A store that committed before Cancel was seen is shown: MU_Data holds it.
            if (job->stored)
                showRun(*job);
            else if (result.outcome == BackgroundRun::Outcome::Failed)
                m_session.reportRunError(result.error, job->line);
            else if (result.outcome == BackgroundRun::Outcome::Finished)
                m_session.reportInfo(kProc, "No map unit has a rating for this attribute; nothing was stored.");
            finishRun();
            if (!job->stored && result.outcome == BackgroundRun::Outcome::Cancelled)
                setStatusText("The run was cancelled; nothing was stored.");
        });
}

void frmQuillon::cmdCreateDBFFile_Click()
{
    if (m_job->busy()) return;
    int line = 1;
    try {
        const std::string nodeKey = selectedKey();
        if (nodeKey.empty() || selectedImage() == kClosedFolder) {
            m_session.reportInfo(kProc, "Select a valid attribute to process.");
            return;
        }
        line = 2;
        setStatusText("Processing Attribute ...");
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // Leaving the active box runs its pending validation first.
        if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();

        line = 5;
        if (MultipleArcviewSessions()) {
            m_session.reportInfo(kProc,
                                 "Too many instances of ArcView are running.  Close all but one ArcView to use Quillon.");
            QApplication::restoreOverrideCursor();
            close();
            return;
        }
        const std::shared_ptr<RatingJob> job =
            m_session.planRun(nodeKey, [this] { return m_optionPanel->runOptions().options; }, line);
        if (!job) {
            finishRun();
            return;
        }
        // Asked before the run rather than after it, so no answer is awaited at its end; the
        // results database is read for it on a worker, which waits out another program's lock.
        m_job->start(
            "Processing Attribute ...",
            [job](BackgroundRun::Context& context) { Session::checkResultsColumn(*job, context); },
            [this, job](const BackgroundRun::Result& result) {
                if (result.outcome == BackgroundRun::Outcome::Cancelled) {
                    finishRun();
                    setStatusText("The run was cancelled; nothing was stored.");
                } else if (result.outcome == BackgroundRun::Outcome::Failed) {
                    m_session.reportRunError(result.error, 9);
                    finishRun();
                } else if (m_session.ConfirmResultsColumn(job->columnExists) != 1) {
                    finishRun();
                } else {
                    m_job->whenIdle([this, job] { startRating(job); });
                }
            });
    } catch (...) {
        m_session.reportRunError(std::current_exception(), line);
        finishRun();
    }
}

} // namespace qln::viewer
