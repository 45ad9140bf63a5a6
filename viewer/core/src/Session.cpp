#include "quillon/viewer/Session.h"

#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/Text.h"
#include "quillon/components/Components.h"
#include "quillon/desktop/MessageBox.h"
#include "quillon/reporter/SystemError.h"
#include "quillon/viewer/CustomerLabel.h"
#include "quillon/viewer/MapunitList.h"
#include "quillon/viewer/MapunitSources.h"
#include "quillon/viewer/NonTechReport.h"
#include "quillon/viewer/ResultsDatabase.h"
#include "quillon/viewer/ResultsTable.h"
#include "quillon/viewer/SoilsDatabase.h"
#include "quillon/viewer/UserData.h"
#include "quillon/viewer/modGenericFunctions.h"

namespace qln::viewer {

namespace {

constexpr int kMsgText = 1;
constexpr int kMsgReplaceColumn = 1501;
constexpr std::int64_t kListEmpty = 0x8004020A;
constexpr const char* kRunProc = "cmdCreateDBFFile_Click";
// The engine's errors the viewer words itself.
constexpr std::int64_t kErrInvalidAttribute = 0x80040203;
constexpr std::int64_t kErrNoMapunits = 0x80040208;

ado::Recordset rowOf(const ado::Recordset& table, const char* keyField, const std::string& key)
{
    ado::Recordset row = table.clone();
    row.setFilter(std::string(keyField) + "='" + escapeQuotes(key) + "'");
    return row;
}

void openForReading(ado::Connection& soils, const std::string& connect)
{
    soils.setConnectionString(connect);
    soils.setCursorLocation(ado::adUseClient);
    // The viewer only reads the survey data.
    soils.setMode(ado::adModeRead);
    soils.open();
}

// The job now running, for the lock wait, while a work function runs.
class RunningJob {
public:
    RunningJob(RatingJob& job, JobProgress& context) : m_job(job) { m_job.context = &context; }
    ~RunningJob() { m_job.context = nullptr; }
    RunningJob(const RunningJob&) = delete;
    RunningJob& operator=(const RunningJob&) = delete;

private:
    RatingJob& m_job;
};

void criticalBox(const std::string& title, const std::string& text)
{
    desktop::messageBox({text, title, desktop::Buttons::Ok, desktop::Icon::Critical});
}

} // namespace

std::unique_ptr<engine::clsQuillon> createEngine()
{
    return components::create<engine::clsQuillon>(engine::kQuillonProgId);
}

ado::Connection::LockWait waitWhileLocked(JobProgress* const& context)
{
    return [&context](int) {
        if (!context || context->cancelled()) return false;
        context->stage("Waiting for the results database, locked by another program");
        return true;
    };
}

ado::Recordset layerMapunits(ado::Connection& soils, const std::optional<std::filesystem::path>& attributeFile)
{
    if (!attributeFile) return GetMUFromMDB(soils);
    std::optional<ado::Recordset> layer = GetMUFromDBF(attributeFile->parent_path(), attributeFile->filename().string());
    std::string keys;
    if (layer)
        for (layer->moveFirst(); !layer->eof(); layer->moveNext())
            keys += (keys.empty() ? "'" : ",'") + escapeQuotes(layer->value("mukey").text()) + "'";
    if (keys.empty())
        throw RefusedRun("The attribute file " + attributeFile->string() + ".dbf lists no map units; there is nothing to rate.");
    return GetMUFromMDB(soils, " WHERE mukey IN (" + keys + ")");
}

Session::Session() = default;

Session::~Session()
{
    // The link goes before the reporter and the utilities it uses.
    m_link.reset();
}

void Session::windowShown()
{
    if (m_state == SessionState::Starting) m_state = SessionState::AwaitingDatabase;
}

bool Session::takeFirstOpening()
{
    const bool first = m_state != SessionState::Working;
    m_state = SessionState::Working;
    return first;
}

void Session::step(const char* name) const
{
    if (onStep) onStep(name);
}

void Session::notifyStatus(const std::string& text) const
{
    if (m_observer) m_observer->statusChanged(text);
}

void Session::createUtilities()
{
    m_genutils = makeUtilities ? makeUtilities() : components::create<utils::clsGenUtils>(utils::kGenUtilsProgId);
}

void Session::createComponents()
{
    m_reporter = makeReporter ? makeReporter() : components::create<reporting::clsReporter>(reporting::kReporterProgId);
    m_engine = makeEngine();
}

bool Session::startReporting()
{
    if (!m_reporter->cInitReporting("AMBApps", 2, 14)) {
        criticalBox("Fatal Message - Quillon",
                    std::string("Unable to start the Message Reporting Utility.  ") +
                        "Contact the Help Desk or your support person.");
        return false;
    }
    m_spareRecordset = ado::Recordset();
    m_spareRecordset.open();
    return true;
}

void Session::reportCaughtError(const char* procedure, const std::string& what) const
{
    const reporter::ErrObject error = reporter::caughtError();
    const std::string text = error.description.empty() ? what : what + "\n" + error.description;
    m_reporter->cReportMsg2(reporting::gmrERR, reporting::gmrDISP, procedure, kMsgText, error, {text});
}

void Session::reportError(const char* procedure, const std::string& what, std::exception_ptr error) const
{
    try {
        std::rethrow_exception(error);
    } catch (...) {
        reportCaughtError(procedure, what);
    }
}

void Session::reportInfo(const char* procedure, const std::string& text) const
{
    m_reporter->cReportMsg(reporting::gmrINFO, reporting::gmrDISP, procedure, kMsgText, 0, {text});
}

int Session::readSettings()
{
    SettingsContext context{*m_genutils, *m_reporter};
    return SetFileDefaults(context, m_settings);
}

void Session::putSetting(const char* name, const std::string& value)
{
    m_genutils->cPutRegistryString(utils::HKEY_LOCAL_MACHINE, kSettingsKey, name, value);
}

void Session::setLink(std::unique_ptr<SessionLink> link)
{
    m_link = std::move(link);
}

void Session::endLink()
{
    m_link.reset();
}

std::optional<std::filesystem::path> Session::attributeFile() const
{
    if (!ArcViewLinked()) return std::nullopt;
    return m_link->attributeFile();
}

bool Session::readRules()
{
    const auto read = [this](ado::Recordset& into, const char* sql) {
        try {
            into = m_engine->GetMainQLNRS(sql);
            return into.isOpen();
        } catch (...) {
            reportCaughtError("Check_QLN_System", sql);
            return false;
        }
    };
    return read(m_rsAttributes, "SELECT * FROM Attributes ORDER BY AttrSeq") &&
           read(m_rsAlgorithms, "SELECT * FROM AttrAlgorithms, ValidAlgorithms WHERE "
                                "AttrAlgorithms.AlgorithmName=ValidAlgorithms.Name ORDER BY AlgorithmSeq") &&
           read(m_rsFolders, "SELECT * FROM Folders ORDER BY FolderSeq") &&
           read(m_rsOptionList, "SELECT * FROM OptionList");
}

void Session::releaseRules()
{
    m_rsAttributes = ado::Recordset();
    m_rsFolders = ado::Recordset();
    m_rsOptionList = ado::Recordset();
    m_engine.reset();
}

ado::Recordset& Session::selectAttribute(const std::string& nodeKey)
{
    m_rsAttributes.setFilter("NodeKey='" + escapeQuotes(nodeKey) + "'");
    return m_rsAttributes;
}

ado::Recordset Session::attributeRow(const std::string& nodeKey) const
{
    return rowOf(m_rsAttributes, "NodeKey", nodeKey);
}

ado::Recordset Session::folderRow(const std::string& key) const
{
    return rowOf(m_rsFolders, "Key", key);
}

ado::Recordset Session::algorithmRow(const std::string& name) const
{
    return rowOf(m_rsAlgorithms, "Name", name);
}

std::optional<Session::OptionList> Session::PopulateOptionList(const std::string& nodeKey)
{
    std::optional<ado::Recordset> lists;
    try {
        lists = m_engine->GetOptionListsRS(m_soilsConnectString, nodeKey);
    } catch (const EngineError& error) {
        if (error.number() != kListEmpty) {
            reportCaughtError("PopulateOptionList", "Unable to read the option list of " + nodeKey + ".");
            return std::nullopt;
        }
        lists.reset();
    } catch (...) {
        reportCaughtError("PopulateOptionList", "Unable to read the option list of " + nodeKey + ".");
        return std::nullopt;
    }
    OptionList list;
    if (lists) {
        // One box: the items of the attribute's first list.
        for (lists->moveFirst(); !lists->eof(); lists->moveNext()) {
            const std::string name = trimBlanks(lists->value("ListName").text());
            if (list.name.empty()) list.name = name;
            if (name == list.name) list.items.push_back(lists->value("ListData").text());
        }
    }
    return list;
}

bool Session::CheckValidMDB(const std::string& folder, const std::string& fileName)
{
    try {
        const LayoutCheck check = checkSoilsLayout(folder, fileName);
        if (check.valid)
            putSetting("SoilsDataFile", fileName);
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
    putSetting("SoilsDataPath", folder);
    putSetting("SoilsDataFile", fileName);
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

int Session::PopulateMapunitList(ado::Recordset& mapunits, const Messages& messages)
{
    ado::Recordset list;
    const short status = viewer::PopulateMapunitList(*m_engine, m_soilsConnectString, mapunits, list, messages);
    setMapunitList(status == 1 ? list : ado::Recordset());
    return status;
}

void Session::setMapunitList(const ado::Recordset& list)
{
    m_mapunitList = list;
    // The non-technical report's categories and map units are those of the new database.
    m_nonTechRSs.reset();
    if (m_observer) m_observer->mapunitListChanged();
}

int Session::SetNonTechRSs()
{
    try {
        m_nonTechRSs = std::make_shared<NonTechRSs>(viewer::SetNonTechRSs(*m_engine, m_soilsConnectString));
        return 1;
    } catch (...) {
        reportCaughtError("SetNonTechRSs", "The description categories cannot be read from the soils database.");
        return -1;
    }
}

bool Session::CheckOutlookCustomer(const Messages& messages)
{
    auto address = std::make_shared<CustomerAddress>();
    viewer::CheckOutlookCustomer(*address, messages);
    if (!address->captured) {
        m_customer.reset();
        return false;
    }
    m_customer = std::move(address);
    return true;
}

std::filesystem::path Session::templatePath(const char* name) const
{
    return std::filesystem::path(m_settings[Setting::InstalledDrive] + m_settings[Setting::SoilsPath]) / "Templates" /
           name;
}

int Session::OverwriteOutputDB()
{
    const Settings& s = m_settings;
    try {
        const int status = viewer::OverwriteOutputDB(s.OutputFolder, s[Setting::OutputDBOrig], s[Setting::OutputDBFile]);
        if (status != 1) {
            const std::string orig = (std::filesystem::path(s.OutputFolder) / s[Setting::OutputDBOrig]).string();
            m_reporter->cReportMsg(reporting::gmrERR, reporting::gmrDISP, "OverwriteOutputDB", 602, 0, {orig});
        }
        return status;
    } catch (const std::exception& error) {
        m_reporter->cReportMsg(reporting::gmrERR, reporting::gmrDISP, "OverwriteOutputDB", kMsgText, 0, {std::string(error.what())});
        return -1;
    }
}

ado::Connection Session::resultsDBConnection(ado::Connection::LockWait wait) const
{
    ado::Connection results;
    results.setConnectionString("DSN=" + m_settings[Setting::OutputDBDSN] + ";");
    results.setLockWait(std::move(wait));
    return results;
}

ado::Recordset Session::SetUserDataRS(const RunOptions& options)
{
    checkOutputColumn(options.column.value_or(""));
    checkRunOptions(options);
    const long method = chooseMethod(attributeMethods(*m_engine, options.attribute), options.method);
    return buildUserData(options, selectAttribute(options.attribute), method);
}

std::shared_ptr<RatingJob> Session::planRun(const std::string& nodeKey, const std::function<RunOptions()>& options,
                                            int& line)
{
    line = 6;
    if (selectAttribute(nodeKey).recordCount() <= 0) {
        m_reporter->cReportMsg(reporting::gmrFATAL, reporting::gmrDISP, kRunProc, 1453, 0, {nodeKey});
        return nullptr;
    }
    line = 7;
    if (m_rsAttributes.value("DBFColumn").isNull()) {
        m_reporter->cReportMsg(reporting::gmrERR, reporting::gmrDISP, kRunProc, 1451, 0);
        return nullptr;
    }
    line = 8;
    if (m_soilsConnectString.empty()) {
        reportInfo(kRunProc, "Choose a soils database on the Options tab first.");
        return nullptr;
    }
    ado::Recordset userData;
    try {
        userData = SetUserDataRS(options());
    } catch (const OptionError& error) {
        reportInfo("SetAdoTelvaRS", error.what());
        return nullptr;
    } catch (const RefusedRun& error) {
        reportInfo("SetAdoTelvaRS", error.what());
        return nullptr;
    } catch (...) {
        reportCaughtError("SetAdoTelvaRS", "Unable to read the options of the run.");
        return nullptr;
    }
    auto job = std::make_shared<RatingJob>();
    job->nodeKey = nodeKey;
    job->soilsConnect = m_soilsConnectString;
    job->soilsBridgeConnect = m_soilsBridgeConnectString;
    job->userData = std::move(userData);
    job->attributeFile = attributeFile();
    job->makeEngine = makeEngine;
    job->columnType = m_rsAttributes.value("DBFType").text();
    line = 9;
    job->column = job->userData.value("OutputTable").text();
    job->resultsDB = resultsDBConnection(waitWhileLocked(job->context));
    return job;
}

void Session::checkResultsColumn(RatingJob& job, JobProgress& context)
{
    const RunningJob running(job, context);
    job.resultsDB.open();
    job.columnExists = HasColumn(job.resultsDB, kResultsTable, job.column);
}

void Session::rate(RatingJob& job, JobProgress& context)
{
    const RunningJob running(job, context);
    const auto engine = job.makeEngine();
    engine->setProgressHandler([&context](long done, long total) {
        context.progress(done, total);
        return !context.cancelled();
    });
    ado::Connection soils;
    openForReading(soils, job.soilsBridgeConnect);
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

int Session::ConfirmResultsColumn(bool columnExists) const
{
    if (!columnExists) return 1;
    return m_reporter->cMsgPrompt(reporting::YES_NO, "Quillon", kMsgReplaceColumn) != reporting::NO ? 1 : -1;
}

void Session::reportRunError(std::exception_ptr error, int line) const
{
    std::string text;
    int type = reporting::gmrERR;
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
        type = reporting::gmrINFO;
    } catch (const RefusedRun& e) {
        text = e.what();
        type = reporting::gmrINFO;
    } catch (const std::exception& e) {
        text = std::string(kRunProc) + ":" + e.what() + ": Line #" + std::to_string(line);
    }
    m_reporter->cReportMsg(static_cast<reporting::MRUMsgType>(type), reporting::gmrDISP, kRunProc, kMsgText, 0, {text});
}

} // namespace qln::viewer
