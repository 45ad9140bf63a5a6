// The session's rating runs: planned on the window's thread, rated and stored on workers.

#include "quillon/viewer/Session.h"

#include "SessionWork.h"
#include "quillon/Error.h"
#include "quillon/viewer/ResultsTable.h"
#include "quillon/viewer/UserData.h"

namespace qln::viewer {

using detail::layerMapunits;
using detail::openForReading;
using detail::waitWhileLocked;

namespace {

constexpr int kMsgText = 1;
constexpr int kMsgReplaceColumn = 1501;
constexpr const char* kRunProc = "cmdCreateDBFFile_Click";
// The engine's errors the viewer words itself.
constexpr std::int64_t kErrInvalidAttribute = 0x80040203;
constexpr std::int64_t kErrNoMapunits = 0x80040208;

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

} // namespace

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
