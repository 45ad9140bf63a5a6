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
    std::optional<ado::Recordset> results;
};

void rate(RatingJob& job, BackgroundRun::Context& context)
{
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
    job.results = engine->ProcessData(job.soilsConnect, job.userData, mapunits);
}

void info(ViewerState& st, const std::string& text)
{
    st.reporter->cReportMsg(gmrINFO, gmrDISP, kProc, kMsgText, 0, {text});
}

// Steps 9 to 11 of a run, on the GUI thread once the ratings are back.
void storeRun(frmQuillon& form, ViewerState& st, const std::string& nodeKey, RatingJob& job)
{
    int line = 9;
    try {
        st.rsAttributes.setFilter("NodeKey='" + escapeQuotes(nodeKey) + "'");
        if (!job.results || job.results->recordCount() <= 0) {
            info(st, "No map unit has a rating for this attribute; nothing was stored.");
        } else if (AddToResultsDB(st, *job.results)) {
            line = 10;
            auto& o = form.optionsTab().ui();
            const link::SelectedAttribute selected{nodeKey, o.cboInterpOptions->currentText().toStdString(),
                                                   o.cboOptionList->currentText().toStdString(),
                                                   job.results->field(2).name};
            if (st.gisLink && st.gisLink->Refresh_DDE_Data(st.rsAttributes, selected, st.settings.LegendFolder) == 1)
                st.reporter->cReportMsg(gmrINFO, gmrDISP, kProc, kMsgThemeAdded, 0,
                                        {st.gisLink->CurrentThemeTitle()});
            form.descriptionTab().ui().txtDescription->setText(
                QString::fromStdString(st.rsAttributes.value("Description").text()));
        }
    } catch (...) {
        reportRunError(st, std::current_exception(), line);
    }
}

void finish(frmQuillon& form)
{
    QApplication::restoreOverrideCursor();
    form.setStatusText(form.resizedText());
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
        form.jobControls().start(
            "Processing Attribute ...", [job](BackgroundRun::Context& context) { rate(*job, context); },
            [&form, &st, job, nodeKey](const BackgroundRun::Result& result) {
                if (result.outcome == BackgroundRun::Outcome::Failed)
                    reportRunError(st, result.error, 8);
                else if (result.outcome == BackgroundRun::Outcome::Finished)
                    storeRun(form, st, nodeKey, *job);
                finish(form);
                if (result.outcome == BackgroundRun::Outcome::Cancelled)
                    form.setStatusText("The run was cancelled; nothing was stored.");
            });
    } catch (...) {
        reportRunError(st, std::current_exception(), line);
        finish(form);
    }
}

} // namespace qln::viewer
