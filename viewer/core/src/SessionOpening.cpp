// The session's choosing and opening of a soils database.

#include "quillon/viewer/Session.h"

#include "SessionWork.h"
#include "quillon/Text.h"
#include "quillon/viewer/MapunitList.h"
#include "quillon/viewer/ResultsTable.h"
#include "quillon/viewer/SoilsDatabase.h"

namespace qln::viewer {

using detail::layerMapunits;
using detail::openForReading;
using detail::waitWhileLocked;

namespace {

constexpr int kMsgText = 1;

} // namespace

// A newly chosen soils database read on a worker, so the window keeps painting however
// large the survey: its own connection, which the session takes over with the record sets
// once the worker has ended.
struct SoilsReading {
    enum class Step { Open, Mapunits, Layer, List, Output, Done };

    std::string bridgeConnect;
    std::string soilsConnect;
    std::optional<std::filesystem::path> attributeFile;
    Messages messages;
    std::function<std::unique_ptr<engine::clsQuillon>()> makeEngine;
    // Opened by the worker, which waits out another program's lock.
    ado::Connection results;
    JobProgress* context = nullptr;

    ado::Connection soils;
    ado::Recordset components;
    ado::Recordset areas;
    ado::Recordset mapunits;
    ado::Recordset list;
    short listStatus = -1;
    // The step under way, or the one that failed.
    Step step = Step::Open;
};

bool Session::CheckValidMDB(const std::string& folder, const std::string& fileName)
{
    try {
        const LayoutCheck check = checkSoilsLayout(folder, fileName);
        if (check.valid)
            putSetting(settings::nameOf(Setting::SoilsDataFile), fileName);
        else
            m_reporter->cReportMsg(reporting::gmrINFO, reporting::gmrLOG, "CheckValidMDB", kMsgText, 0, {check.reason});
        return check.valid;
    } catch (...) {
        reportCaughtError("CheckValidMDB", "Unable to check the soils database " + fileName + ".");
        return false;
    }
}

void Session::rememberDatabase(const std::string& folder, const std::string& fileName)
{
    m_settings.soilsDataFolder = folder;
    putSetting(settings::nameOf(Setting::SoilsDataPath), folder);
    putSetting(settings::nameOf(Setting::SoilsDataFile), fileName);
}

Session::Opening Session::openChosenDatabase(const std::string& fileName, bool checked, const Messages& messages,
                                             const JobRunner& runner)
{
    if (!checked && !fileName.empty()) {
        notifyStatus("Validating Soils Database.");
        if (!CheckValidMDB(m_settings.soilsDataFolder, fileName)) {
            m_reporter->cReportMsg(reporting::gmrERR, reporting::gmrDISP, "cboSSAList_Click", kMsgText, 0,
                                   {std::string("The selected soils database has the wrong format for ") +
                                    "this version of the Quillon. Contact your soils " +
                                    "staff to obtain soil data in KORVAL Version 2 format."});
            if (m_observer) m_observer->databaseControlsEnabled(false);
            return Opening::Refused;
        }
    }
    if (m_observer) m_observer->databaseControlsEnabled(!fileName.empty());
    if (!takeFirstOpening()) {
        OverwriteOutputDB();
        if (m_link) m_link->Reset_DDE_Data();
    }
    return ResetTelvaConnection(fileName, messages, runner) == 1 ? Opening::Opened : Opening::Failed;
}

int Session::ResetTelvaConnection(const std::string& fileName, const Messages& messages, const JobRunner& runner)
{
    const std::shared_ptr<SoilsReading> reading = beginOpening(fileName, messages);
    int status = -1;
    const bool ran = runner(
        "Opening the soils database ...", [reading](JobProgress& context) { readSoils(*reading, context); },
        [&](const JobResult& result) { status = finishOpening(fileName, *reading, result); });
    if (!ran) openingRefusedWhileBusy(fileName);
    return status;
}

std::shared_ptr<SoilsReading> Session::beginOpening(const std::string& fileName, Messages messages)
{
    m_soilsDataFile = fileName;
    const SoilsConnectStrings strings = soilsConnectStrings(m_settings.soilsDataFolder, fileName);
    m_soilsBridgeConnectString = strings.bridge;
    m_soilsConnectString = strings.plain;
    m_soilsShapeConnectString = strings.shape;
    // Nothing of the previous database may outlive its replacement.
    m_rsComponents = ado::Recordset();
    m_rsMapunitAreas = ado::Recordset();
    m_rsMonths = ado::Recordset();
    m_soilsConnection.close();
    // The report grids and categories show nothing until the new database gives its own,
    // whether or not this opening succeeds.
    setMapunitList(ado::Recordset());

    auto reading = std::make_shared<SoilsReading>();
    reading->bridgeConnect = strings.bridge;
    reading->soilsConnect = strings.plain;
    reading->attributeFile = attributeFile();
    reading->messages = std::move(messages);
    reading->makeEngine = makeEngine;
    reading->results = resultsDBConnection(waitWhileLocked(reading->context));
    return reading;
}

void Session::readSoils(SoilsReading& r, JobProgress& context)
{
    context.stage("Opening");
    openForReading(r.soils, r.bridgeConnect);
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
    r.listStatus = viewer::PopulateMapunitList(*r.makeEngine(), r.soilsConnect, r.mapunits, r.list, r.messages);
    if (r.listStatus != 1 || context.cancelled()) return;

    r.step = SoilsReading::Step::Output;
    context.stage("Filling the results table");
    r.context = &context;
    r.results.open();
    AddMapUnitSymbols(r.results, kResultsTable, r.mapunits);
    r.context = nullptr;
    r.step = SoilsReading::Step::Done;
}

int Session::finishOpening(const std::string& fileName, SoilsReading& r, const JobResult& result)
{
    using Step = SoilsReading::Step;
    if (result.outcome == JobOutcome::Cancelled) {
        reportInfo("ResetTelvaConnection", "Opening the soils database " + fileName + " was cancelled.");
        return -1;
    }
    const auto report = [&](const char* procedure, const std::string& text) {
        reportError(procedure, text, result.error);
    };
    const bool failed = result.outcome == JobOutcome::Failed;
    if (failed && r.step == Step::Open) {
        report("ResetTelvaConnection", "Unable to open the soils database " + fileName + ".");
        return -1;
    }
    m_soilsConnection = std::move(r.soils);
    if (failed && (r.step == Step::Mapunits || r.step == Step::Layer)) {
        report(r.step == Step::Mapunits ? "ResetTelvaConnection" : "PopulateMapunitList",
               "Unable to read the map units of the soils database " + fileName + ".");
        return -1;
    }
    m_rsComponents = std::move(r.components);
    m_rsMapunitAreas = std::move(r.areas);
    setMapunitList(r.listStatus == 1 ? r.list : ado::Recordset());
    if (failed && r.step == Step::List) {
        report("PopulateMapunitList", "Unable to list the map units of the soils database " + fileName + ".");
        return -1;
    }
    if (r.listStatus != 1) return -1;
    if (readMonths() != 1) return -1;
    if (failed) {
        report("PopulateOutputDB", "Unable to fill the results table with the map units.");
        return -1;
    }
    return 1;
}

void Session::openingRefusedWhileBusy(const std::string& fileName) const
{
    m_reporter->cReportMsg(reporting::gmrERR, reporting::gmrDISP, "ResetTelvaConnection", kMsgText, 0,
                           {"The soils database " + fileName + " cannot be opened while a job is running."});
}

int Session::readMonths()
{
    std::vector<std::string> names;
    int status = 1;
    try {
        m_rsMonths = ado::Recordset();
        m_rsMonths.open("SELECT DISTINCT monthseq,month FROM comonth ORDER BY monthseq", m_soilsConnection);
        for (ado::Recordset month = m_rsMonths.clone(); !month.eof(); month.moveNext())
            names.push_back(trimBlanks(month.value("month").text()));
    } catch (...) {
        reportCaughtError("PopulateSeasonLists", "Unable to read the months of the soils database.");
        names.clear();
        status = -1;
    }
    if (m_observer) m_observer->monthsChanged(names);
    return status;
}

} // namespace qln::viewer
