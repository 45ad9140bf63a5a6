#include "modSoilsDatabase.h"

#include "ErrorReport.h"
#include "OptionPanel.h"
#include "OptionsTab.h"
#include "ReportsTab.h"
#include "frmQuillon.h"
#include "modInstance.h"
#include "modMapunitList.h"
#include "modNonTechReport.h"
#include "modResults.h"
#include "EngineObject.h"
#include "JobControls.h"
#include "ReportJob.h"
#include "quillon/viewer/MapunitList.h"
#include "quillon/viewer/ResultsTable.h"
#include "quillon/viewer/SoilsDatabase.h"
#include "quillon/viewer/SurveyAreaList.h"
#include "ui_OptionsTab.h"
#include "ui_ReportsTab.h"
#include "ui_frmQuillon.h"

#include <QApplication>

#include <filesystem>
#include <memory>
#include <optional>

namespace qln::viewer {

using namespace reporting;

namespace {

constexpr int kMsgText = 1;

// The report tabs, their menus and the tree go together: usable only with a database.
void enableDatabaseControls(frmQuillon& form, bool on)
{
    auto& ui = form.ui();
    ui.SSTab1->setTabEnabled(2, on);
    ui.SSTab1->setTabEnabled(3, on);
    ui.mnuFileReport->setEnabled(on);
    ui.mnuFileNonTechReports->setEnabled(on);
    ui.tvInterps->setEnabled(on);
}

void enableRunButtons(frmQuillon& form, bool on)
{
    form.ui().cmdCreateDBFFile->setEnabled(on);
    form.reportsTab().ui().cmdGenerateReport->setEnabled(on);
}

void putSetting(ViewerState& st, const char* name, const std::string& value)
{
    st.genutils->cPutRegistryString(utils::HKEY_LOCAL_MACHINE, kSettingsKey, name, value);
}

// What a newly chosen soils database gives the window. Read on a worker thread, so the
// window keeps painting however large the survey: it opens its own connection, which the
// window takes over with the record sets once the worker has ended.
struct SoilsReading {
    enum class Step { Open, Mapunits, Layer, List, Output, Done };

    std::string bridgeConnect;
    std::string soilsConnect;
    std::optional<std::filesystem::path> attributeFile;
    Messages messages;
    // Opened by the worker, which waits out another program's lock (see waitWhileLocked).
    ado::Connection results;
    BackgroundRun::Context* context = nullptr;

    ado::Connection soils;
    ado::Recordset components;
    ado::Recordset areas;
    ado::Recordset mapunits;
    ado::Recordset list;
    short listStatus = -1;
    // The step under way, or the one that failed.
    Step step = Step::Open;
};

void readSoils(SoilsReading& r, BackgroundRun::Context& context)
{
    context.stage("Opening");
    r.soils.setConnectionString(r.bridgeConnect);
    r.soils.setCursorLocation(ado::adUseClient);
    // The viewer only reads the survey data.
    r.soils.setMode(ado::adModeRead);
    r.soils.open();
    if (context.cancelled()) return;

    r.step = SoilsReading::Step::Mapunits;
    context.stage("Reading the map units");
    r.components.open("SELECT musym,comppct_r,cokey,mapunit.mukey,component.mukey FROM component,mapunit "
                      "WHERE component.mukey=mapunit.mukey ORDER BY comppct_r DESC",
                      r.soils);
    r.areas.open("SELECT DISTINCT mukey,musym,muname,areasymbol,areaname FROM mapunit,legend "
                 "WHERE legend.lkey=mapunit.lkey",
                 r.soils);
    if (context.cancelled()) return;

    // The report tabs list the map units a run would rate: the GIS layer's, or all.
    r.step = SoilsReading::Step::Layer;
    r.mapunits = layerMapunits(r.soils, r.attributeFile);
    if (context.cancelled()) return;

    r.step = SoilsReading::Step::List;
    context.stage("Listing the map units");
    r.listStatus = viewer::PopulateMapunitList(*createEngine(), r.soilsConnect, r.mapunits, r.list, r.messages);
    if (r.listStatus != 1 || context.cancelled()) return;

    r.step = SoilsReading::Step::Output;
    context.stage("Filling the results table");
    r.context = &context;
    r.results.open();
    AddMapUnitSymbols(r.results, kResultsTable, r.mapunits);
    r.context = nullptr;
    r.step = SoilsReading::Step::Done;
}

// The window's part of the opening, once the worker has read what it could: 1, or -1 with
// the cause reported.
int showSoils(ViewerState& st, frmQuillon& form, const std::string& fileName, SoilsReading& r,
              const BackgroundRun::Result& result)
{
    using Step = SoilsReading::Step;
    if (result.outcome == BackgroundRun::Outcome::Cancelled) {
        st.reporter->cReportMsg(reporting::gmrINFO, gmrDISP, "ResetTelvaConnection", kMsgText, 0,
                                {"Opening the soils database " + fileName + " was cancelled."});
        return -1;
    }
    const auto report = [&](const char* procedure, const std::string& text) {
        ReportError(st, procedure, text, result.error);
    };
    const bool failed = result.outcome == BackgroundRun::Outcome::Failed;
    if (failed && r.step == Step::Open) {
        report("ResetTelvaConnection", "Unable to open the soils database " + fileName + ".");
        return -1;
    }
    st.soilsConnection = std::move(r.soils);
    if (failed && (r.step == Step::Mapunits || r.step == Step::Layer)) {
        report(r.step == Step::Mapunits ? "ResetTelvaConnection" : "PopulateMapunitList",
               "Unable to read the map units of the soils database " + fileName + ".");
        return -1;
    }
    st.rsComponents = std::move(r.components);
    st.rsMapunitAreas = std::move(r.areas);
    ShowMapunitList(st, form, r.listStatus == 1 ? r.list : ado::Recordset());
    if (failed && r.step == Step::List) {
        report("PopulateMapunitList", "Unable to list the map units of the soils database " + fileName + ".");
        return -1;
    }
    if (r.listStatus != 1) return -1;
    if (form.optionPanel().PopulateSeasonLists() != 1) return -1;
    if (failed) {
        report("PopulateOutputDB", "Unable to fill the results table with the map units.");
        return -1;
    }
    return 1;
}

} // namespace

bool CheckValidMDB(ViewerState& st, frmQuillon& form, const std::string& folder, const std::string& fileName)
{
    const bool process = form.ui().cmdCreateDBFFile->isEnabled();
    const bool report = form.reportsTab().ui().cmdGenerateReport->isEnabled();
    enableRunButtons(form, false);
    bool valid = false;
    try {
        const LayoutCheck check = checkSoilsLayout(folder, fileName);
        valid = check.valid;
        if (valid)
            putSetting(st, settings::nameOf(Setting::SoilsDataFile), fileName);
        else
            st.reporter->cReportMsg(reporting::gmrINFO, gmrLOG, "CheckValidMDB", kMsgText, 0, {check.reason});
    } catch (...) {
        ReportCaughtError(st, "CheckValidMDB", "Unable to check the soils database " + fileName + ".");
        valid = false;
    }
    form.ui().cmdCreateDBFFile->setEnabled(process);
    form.reportsTab().ui().cmdGenerateReport->setEnabled(report);
    return valid;
}

void cmdSelectFolder_Click(ViewerState& st, frmQuillon& form)
{
    QComboBox* box = form.optionsTab().ui().cboSSAList;
    const std::string previous = box->currentText().toStdString();
    std::string folder, fileName;
    const bool chosen = AccessFileSelect(st.settings.soilsDataFolder, folder, fileName);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    form.setStatusText("Validating database file...");
    // The dialog gives the folder with a trailing separator.
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (chosen && !folder.empty() && !fileName.empty()) {
        if (!CheckValidMDB(st, form, folder, fileName)) {
            // The previous database stays open, so its name stays in the box.
            const int kept = previous.empty() || previous == fileName
                                 ? -1
                                 : box->findText(QString::fromStdString(previous), Qt::MatchExactly);
            if (kept >= 0) enableRunButtons(form, true);
            box->setCurrentIndex(kept);
            st.reporter->cReportMsg(reporting::gmrERR, gmrDISP, "cmdSelectFolder_Click", kMsgText, 0,
                                    {folder + "/" + fileName + " is not a valid KORVAL Soils database."});
        } else {
            const SurveyAreaList list = PopulateSSAList(folder, fileName);
            box->clear();
            for (const std::string& file : list.files) box->addItem(QString::fromStdString(file));
            int index = box->findText(QString::fromStdString(fileName), Qt::MatchExactly);
            if (index < 0) {
                // Valid by content though the listing missed it (gone meanwhile): still offer it.
                box->addItem(QString::fromStdString(fileName));
                index = box->count() - 1;
            }
            box->setCurrentIndex(index);
            st.settings.soilsDataFolder = folder;
            putSetting(st, settings::nameOf(Setting::SoilsDataPath), folder);
            putSetting(st, settings::nameOf(Setting::SoilsDataFile), fileName);
            st.databaseChanged = true;
            cboSSAList_Click(st, form);
            st.databaseChanged = false;
        }
    }
    form.setStatusText(form.resizedText());
    QApplication::restoreOverrideCursor();
}

void cboSSAList_Click(ViewerState& st, frmQuillon& form)
{
    QComboBox* box = form.optionsTab().ui().cboSSAList;
    if (box->currentText().isEmpty()) {
        st.reporter->cReportMsg(reporting::gmrINFO, gmrDISP, "cboSSAList_Click", kMsgText, 0, {"Select a valid Soils database."});
        enableDatabaseControls(form, false);
        return;
    }
    if (box->findText(box->currentText(), Qt::MatchExactly) < 0) box->setCurrentIndex(-1);
    enableRunButtons(form, false);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!st.databaseChanged && !box->currentText().isEmpty()) {
        form.setStatusText("Validating Soils Database.");
        if (!CheckValidMDB(st, form, st.settings.soilsDataFolder, box->currentText().toStdString())) {
            st.reporter->cReportMsg(reporting::gmrERR, gmrDISP, "cboSSAList_Click", kMsgText, 0,
                                    {std::string("The selected soils database has the wrong format for ") +
                                     "this version of the Quillon. Contact your soils " +
                                     "staff to obtain soil data in KORVAL Version 2 format."});
            box->setCurrentIndex(-1);
            enableDatabaseControls(form, false);
            form.setStatusText(form.resizedText());
            QApplication::restoreOverrideCursor();
            return;
        }
    }
    const std::string fileName = box->currentText().toStdString();
    enableDatabaseControls(form, !fileName.empty());

    if (st.firstOpening) {
        st.firstOpening = false;
    } else {
        OverwriteOutputDB(st);
        if (st.gisLink) st.gisLink->Reset_DDE_Data();
    }
    ResetTelvaConnection(st, form, fileName);
    if (form.ui().tvInterps->topLevelItemCount() > 0) form.optionPanel().ProcessInterp(form.selectedKey());

    form.setStatusText(form.resizedText());
    QApplication::restoreOverrideCursor();
}

int ResetTelvaConnection(ViewerState& st, frmQuillon& form, const std::string& fileName)
{
    const std::string folder = st.settings.soilsDataFolder;
    st.soilsDataFile = fileName;
    const SoilsConnectStrings strings = soilsConnectStrings(folder, fileName);
    st.soilsBridgeConnectString = strings.bridge;
    st.soilsConnectString = strings.plain;
    st.soilsShapeConnectString = strings.shape;
    // Nothing of the previous database may outlive its replacement.
    st.rsComponents = ado::Recordset();
    st.rsMapunitAreas = ado::Recordset();
    st.rsMonths = ado::Recordset();
    st.soilsConnection.close();
    // The report grids and categories show nothing until the new database gives its own,
    // whether or not this opening succeeds.
    ShowMapunitList(st, form, ado::Recordset());

    auto reading = std::make_shared<SoilsReading>();
    reading->bridgeConnect = strings.bridge;
    reading->soilsConnect = strings.plain;
    reading->attributeFile = attributeFileOf(st);
    reading->messages = windowMessages(st, form);
    reading->results = resultsDBConnection(st, waitWhileLocked(reading->context));
    int status = -1;
    const bool ran = form.jobControls().runAndWait(
        "Opening the soils database ...", [reading](BackgroundRun::Context& context) { readSoils(*reading, context); },
        [&](const BackgroundRun::Result& result) { status = showSoils(st, form, fileName, *reading, result); });
    if (!ran)
        st.reporter->cReportMsg(reporting::gmrERR, gmrDISP, "ResetTelvaConnection", kMsgText, 0,
                                {"The soils database " + fileName + " cannot be opened while a job is running."});
    // The category list follows the database: a tab already showing gets no visit to load it.
    if (status == 1 && form.ui().SSTab1->currentIndex() == form.FindTabNumber("Non-Tech Reports") &&
        SetNonTechRSs(st, form) == 1)
        st.NonTechSetsLoaded = true;
    return status;
}

} // namespace qln::viewer
