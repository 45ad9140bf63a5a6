#include "modRun.h"

#include "DescriptionTab.h"
#include "JobControls.h"
#include "OptionsTab.h"
#include "frmQuillon.h"
#include "modInstance.h"
#include "modResults.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/viewer/ResultsTable.h"
#include "quillon/viewer/RulesTree.h"
#include "quillon/viewer/RunOptions.h"
#include "ui_DescriptionTab.h"
#include "ui_OptionsTab.h"

#include <QApplication>
#include <QTextBrowser>

#include <filesystem>
#include <memory>
#include <optional>

namespace qln::viewer {

using namespace reporting;

namespace {

constexpr const char* kProc = "cmdCreateDBFFile_Click";
constexpr int kMsgText = 1;
constexpr int kMsgNotSupported = 1451;
constexpr int kMsgNoAttribute = 1453;
constexpr int kMsgThemeAdded = 1500;
// The engine's errors the viewer words itself.
constexpr std::int64_t kErrInvalidAttribute = 0x80040203;
constexpr std::int64_t kErrNoMapunits = 0x80040208;

// What the worker is handed and hands back. The GUI thread does not touch it while the
// job runs.
struct RatingJob {
    std::string soilsConnect;
    std::string soilsBridgeConnect;
    ado::Recordset userData;
    std::optional<std::filesystem::path> attributeFile;
    // The results database, opened and used by the workers alone (a lock of another
    // program is waited for there, never on the window's thread), the rating column, its
    // type, and whether MU_Data has it already.
    ado::Connection resultsDB;
    std::string column;
    std::string columnType;
    bool columnExists = false;
    // The job now running, for the lock wait of resultsDB; set and used on its thread.
    BackgroundRun::Context* context = nullptr;
    std::optional<ado::Recordset> ratings;
    // The store committed: MU_Data holds the run, whatever came after.
    bool stored = false;
    // The step the worker reached, for the message of a failure.
    int line = 8;
};

// The job that is running, for the lock wait, while a work function runs.
class RunningJob {
public:
    RunningJob(RatingJob& job, BackgroundRun::Context& context) : m_job(job) { m_job.context = &context; }
    ~RunningJob() { m_job.context = nullptr; }
    RunningJob(const RunningJob&) = delete;
    RunningJob& operator=(const RunningJob&) = delete;

private:
    RatingJob& m_job;
};

// Step 9's first half, before the run: whether MU_Data has the rating column already.
void openResults(RatingJob& job, BackgroundRun::Context& context)
{
    const RunningJob running(job, context);
    job.resultsDB.open();
    job.columnExists = HasColumn(job.resultsDB, kResultsTable, job.column);
}

// Steps 8 and 9 of a run. The store runs here too, so the window keeps painting however
// large MU_Data is; Cancel abandons it up to its commit.
void rate(RatingJob& job, BackgroundRun::Context& context)
{
    const RunningJob running(job, context);
    const auto engine = createEngine();
    engine->setProgressHandler([&context](long done, long total) {
        context.progress(done, total);
        return !context.cancelled();
    });
    ado::Connection soils;
    soils.setConnectionString(job.soilsBridgeConnect);
    soils.setCursorLocation(ado::adUseClient);
    soils.setMode(ado::adModeRead);
    soils.open();
    ado::Recordset mapunits = layerMapunits(soils, job.attributeFile);
    if (context.cancelled()) return;
    job.ratings = engine->ProcessData(job.soilsConnect, job.userData, mapunits);
    if (context.cancelled() || !job.ratings || job.ratings->recordCount() <= 0) return;

    job.line = 9;
    context.stage("Storing");
    // The user has agreed to replace an existing column before the run began.
    job.stored = AddToResultsDB(job.resultsDB, job.columnType, *job.ratings, [] { return true; },
                                [&context](long done, long total) {
                                    // Said again after a wait for a lock, which names itself.
                                    context.stage("Storing");
                                    context.progress(done, total);
                                    return !context.cancelled();
                                })
                     .has_value();
}

void info(ViewerState& st, const std::string& text)
{
    st.reporter->cReportMsg(gmrINFO, gmrDISP, kProc, kMsgText, 0, {text});
}

// Steps 10 and 11 of a run, on the GUI thread once the ratings are stored.
void showRun(frmQuillon& form, ViewerState& st, const std::string& nodeKey, const RatingJob& job)
{
    try {
        st.rsAttributes.setFilter("NodeKey='" + escapeQuotes(nodeKey) + "'");
        auto& o = form.optionsTab().ui();
        const link::SelectedAttribute selected{nodeKey, o.cboInterpOptions->currentText().toStdString(),
                                               o.cboOptionList->currentText().toStdString(),
                                               job.ratings->field(2).name};
        if (st.gisLink && st.gisLink->Refresh_DDE_Data(st.rsAttributes, selected, st.settings.LegendFolder) == 1)
            st.reporter->cReportMsg(gmrINFO, gmrDISP, kProc, kMsgThemeAdded, 0, {st.gisLink->CurrentThemeTitle()});
        form.descriptionTab().ui().txtDescription->setText(
            QString::fromStdString(st.rsAttributes.value("Description").text()));
    } catch (...) {
        reportRunError(st, std::current_exception(), 10);
    }
}

void finish(frmQuillon& form)
{
    QApplication::restoreOverrideCursor();
    form.setStatusText(form.resizedText());
}

void cancelled(frmQuillon& form)
{
    finish(form);
    form.setStatusText("The run was cancelled; nothing was stored.");
}

// Steps 8 to 11 once the rating column may be written.
void startRating(frmQuillon& form, ViewerState& st, const std::shared_ptr<RatingJob>& job, const std::string& nodeKey)
{
    form.jobControls().start(
        "Processing Attribute ...", [job](BackgroundRun::Context& context) { rate(*job, context); },
        [&form, &st, job, nodeKey](const BackgroundRun::Result& result) {
            // A store that committed before Cancel was seen is shown: MU_Data holds it.
            if (job->stored)
                showRun(form, st, nodeKey, *job);
            else if (result.outcome == BackgroundRun::Outcome::Failed)
                reportRunError(st, result.error, job->line);
            else if (result.outcome == BackgroundRun::Outcome::Finished)
                info(st, "No map unit has a rating for this attribute; nothing was stored.");
            if (!job->stored && result.outcome == BackgroundRun::Outcome::Cancelled)
                cancelled(form);
            else
                finish(form);
        });
}

} // namespace

void reportRunError(ViewerState& st, std::exception_ptr error, int line)
{
    std::string text;
    int type = gmrERR;
    try {
        std::rethrow_exception(error);
    } catch (const EngineError& e) {
        if (e.number() == kErrInvalidAttribute)
            text = "Invalid attribute selected.  You may have selected a folder instead of a valid attribute.";
        else if (e.number() == kErrNoMapunits)
            text = "There are no mapunits with data for selected attribute.";
        else
            text = e.source() + ":" + e.description() + ": Line #" + std::to_string(line);
    } catch (const TooManyColumns&) {
        text = "Too many soil Attributes are currently in memory.  To proceed, convert any Attributes you want to "
               "save to ArcView shape files, then click the Reset button.";
    } catch (const OptionError& e) {
        text = e.what();
        type = gmrINFO;
    } catch (const RefusedRun& e) {
        text = e.what();
        type = gmrINFO;
    } catch (const std::exception& e) {
        text = std::string(kProc) + ":" + e.what() + ": Line #" + std::to_string(line);
    }
    st.reporter->cReportMsg(static_cast<MRUMsgType>(type), gmrDISP, kProc, kMsgText, 0, {text});
}

void cmdCreateDBFFile_Click(frmQuillon& form, ViewerState& st)
{
    if (form.jobControls().busy()) return;
    int line = 1;
    try {
        const std::string nodeKey = form.selectedKey();
        if (nodeKey.empty() || form.selectedImage() == kClosedFolder) {
            info(st, "Select a valid attribute to process.");
            return;
        }
        line = 2;
        form.setStatusText("Processing Attribute ...");
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // Leaving the active box runs its pending validation first.
        if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();

        line = 5;
        if (MultipleArcviewSessions()) {
            info(st, "Too many instances of ArcView are running.  Close all but one ArcView to use Quillon.");
            QApplication::restoreOverrideCursor();
            form.close();
            return;
        }
        line = 6;
        st.rsAttributes.setFilter("NodeKey='" + escapeQuotes(nodeKey) + "'");
        if (st.rsAttributes.recordCount() <= 0) {
            st.reporter->cReportMsg(gmrFATAL, gmrDISP, kProc, kMsgNoAttribute, 0, {nodeKey});
            finish(form);
            return;
        }
        line = 7;
        if (st.rsAttributes.value("DBFColumn").isNull()) {
            st.reporter->cReportMsg(gmrERR, gmrDISP, kProc, kMsgNotSupported, 0);
            finish(form);
            return;
        }
        line = 8;
        if (st.soilsConnectString.empty()) {
            info(st, "Choose a soils database on the Options tab first.");
            finish(form);
            return;
        }
        if (SetAdoTelvaRS(form, st) != 1) {
            finish(form);
            return;
        }
        auto job = std::make_shared<RatingJob>();
        job->soilsConnect = st.soilsConnectString;
        job->soilsBridgeConnect = st.soilsBridgeConnectString;
        job->userData = SetUserDataRS(form, st);
        job->attributeFile = attributeFileOf(st);
        job->columnType = st.rsAttributes.value("DBFType").text();
        line = 9;
        job->column = job->userData.value("OutputTable").text();
        job->resultsDB = resultsDBConnection(st, waitWhileLocked(job->context));
        // Asked before the run rather than after it, so no answer is awaited at its end; the
        // results database is read for it on a worker, which waits out another program's lock.
        form.jobControls().start(
            "Processing Attribute ...", [job](BackgroundRun::Context& context) { openResults(*job, context); },
            [&form, &st, job, nodeKey](const BackgroundRun::Result& result) {
                if (result.outcome == BackgroundRun::Outcome::Cancelled) {
                    cancelled(form);
                } else if (result.outcome == BackgroundRun::Outcome::Failed) {
                    reportRunError(st, result.error, 9);
                    finish(form);
                } else if (ConfirmResultsColumn(st, job->columnExists) != 1) {
                    finish(form);
                } else {
                    form.jobControls().whenIdle([&form, &st, job, nodeKey] { startRating(form, st, job, nodeKey); });
                }
            });
    } catch (...) {
        reportRunError(st, std::current_exception(), line);
        finish(form);
    }
}

} // namespace qln::viewer
