// The window's side of choosing and opening the soils database: the survey-area list, the
// browse button and the change-database menu.

#include "frmQuillon.h"

#include "JobControls.h"
#include "NonTechReportsTab.h"
#include "OptionPanel.h"
#include "OptionsTab.h"
#include "ReportJob.h"
#include "ReportsTab.h"
#include "quillon/viewer/DesktopChecks.h"
#include "quillon/viewer/Session.h"
#include "quillon/viewer/SurveyAreaList.h"
#include "ui_OptionsTab.h"
#include "ui_ReportsTab.h"
#include "ui_frmQuillon.h"

#include <QApplication>

namespace qln::viewer {

void frmQuillon::enableRunButtons(bool on)
{
    m_ui->cmdCreateDBFFile->setEnabled(on);
    m_reports->ui().cmdGenerateReport->setEnabled(on);
}

bool frmQuillon::CheckValidMDB(const std::string& folder, const std::string& fileName)
{
    const bool process = m_ui->cmdCreateDBFFile->isEnabled();
    const bool report = m_reports->ui().cmdGenerateReport->isEnabled();
    enableRunButtons(false);
    const bool valid = m_session.CheckValidMDB(folder, fileName);
    m_ui->cmdCreateDBFFile->setEnabled(process);
    m_reports->ui().cmdGenerateReport->setEnabled(report);
    return valid;
}

void frmQuillon::cmdSelectFolder_Click()
{
    QComboBox* box = m_options->ui().cboSSAList;
    const std::string previous = box->currentText().toStdString();
    std::string folder, fileName;
    const bool chosen = AccessFileSelect(m_session.settings().soilsDataFolder, folder, fileName);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setStatusText("Validating database file...");
    // The dialog gives the folder with a trailing separator.
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (chosen && !folder.empty() && !fileName.empty()) {
        if (!CheckValidMDB(folder, fileName)) {
            // The previous database stays open, so its name stays in the box.
            const int kept = previous.empty() || previous == fileName
                                 ? -1
                                 : box->findText(QString::fromStdString(previous), Qt::MatchExactly);
            if (kept >= 0) enableRunButtons(true);
            box->setCurrentIndex(kept);
            m_session.reporter().cReportMsg(reporting::gmrERR, reporting::gmrDISP, "cmdSelectFolder_Click", 1, 0,
                                            {folder + "/" + fileName + " is not a valid KORVAL Soils database."});
        } else {
            const SurveyAreaList list = viewer::PopulateSSAList(folder, fileName);
            box->clear();
            for (const std::string& file : list.files) box->addItem(QString::fromStdString(file));
            int index = box->findText(QString::fromStdString(fileName), Qt::MatchExactly);
            if (index < 0) {
                // Valid by content though the listing missed it (gone meanwhile): still offer it.
                box->addItem(QString::fromStdString(fileName));
                index = box->count() - 1;
            }
            box->setCurrentIndex(index);
            m_session.rememberDatabase(folder, fileName);
            openChosen(true);
        }
    }
    setStatusText(resizedText());
    QApplication::restoreOverrideCursor();
}

void frmQuillon::cboSSAList_Click()
{
    openChosen(false);
}

void frmQuillon::openChosen(bool checked)
{
    QComboBox* box = m_options->ui().cboSSAList;
    if (box->currentText().isEmpty()) {
        m_session.reportInfo("cboSSAList_Click", "Select a valid Soils database.");
        enableDatabaseControls(false);
        return;
    }
    if (box->findText(box->currentText(), Qt::MatchExactly) < 0) box->setCurrentIndex(-1);
    enableRunButtons(false);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto runner = [this](const std::string& caption, JobWork work, JobDone done) {
        return runAndWait(caption, std::move(work), std::move(done));
    };
    const std::string fileName = box->currentText().toStdString();
    const Session::Opening opening = m_session.openChosenDatabase(fileName, checked, windowMessages(m_session, *this), runner);
    // The GIS may end the viewer while the database opens: the window and its rules are gone.
    if (m_unloaded) {
        QApplication::restoreOverrideCursor();
        return;
    }
    if (opening == Session::Opening::Refused) {
        box->setCurrentIndex(-1);
    } else {
        // The category list follows the database: a tab already showing gets no visit to load it.
        if (opening == Session::Opening::Opened && m_ui->SSTab1->currentIndex() == FindTabNumber("Non-Tech Reports"))
            SetNonTechRSs();
        if (m_ui->tvInterps->topLevelItemCount() > 0) m_optionPanel->ProcessInterp(selectedKey());
    }
    setStatusText(resizedText());
    QApplication::restoreOverrideCursor();
}

int frmQuillon::ResetTelvaConnection(const std::string& fileName)
{
    const auto runner = [this](const std::string& caption, JobWork work, JobDone done) {
        return runAndWait(caption, std::move(work), std::move(done));
    };
    const int status = m_session.ResetTelvaConnection(fileName, windowMessages(m_session, *this), runner);
    // The category list follows the database: a tab already showing gets no visit to load it.
    if (status == 1 && m_ui->SSTab1->currentIndex() == FindTabNumber("Non-Tech Reports")) SetNonTechRSs();
    return status;
}

bool frmQuillon::runAndWait(const std::string& caption, std::function<void(JobProgress&)> work,
                            std::function<void(const JobResult&)> done)
{
    return m_job->runAndWait(
        QString::fromStdString(caption), [work = std::move(work)](BackgroundRun::Context& context) { work(context); },
        std::move(done));
}

} // namespace qln::viewer
