#include "modResults.h"

#include "ErrorReport.h"
#include "OptionPanel.h"
#include "frmQuillon.h"
#include "quillon/SqlText.h"
#include "quillon/viewer/MapunitSources.h"
#include "quillon/viewer/ResultsDatabase.h"
#include "quillon/viewer/ResultsTable.h"
#include "quillon/viewer/UserData.h"

#include <filesystem>

namespace qln::viewer {

using namespace reporting;

namespace {

constexpr int kMsgText = 1;
constexpr int kMsgReplaceColumn = 1501;

} // namespace

ado::Connection resultsDBConnection(const ViewerState& st, ado::Connection::LockWait wait)
{
    ado::Connection results;
    results.setConnectionString("DSN=" + st.settings[Setting::OutputDBDSN] + ";");
    results.setLockWait(std::move(wait));
    return results;
}

ado::Connection::LockWait waitWhileLocked(BackgroundRun::Context* const& context)
{
    return [&context](int) {
        if (!context || context->cancelled()) return false;
        context->stage("Waiting for the results database, locked by another program");
        return true;
    };
}

ado::Connection openResultsDB(const ViewerState& st)
{
    ado::Connection results = resultsDBConnection(st);
    results.open();
    return results;
}

int OverwriteOutputDB(ViewerState& st)
{
    const Settings& s = st.settings;
    try {
        const int status = viewer::OverwriteOutputDB(s.OutputFolder, s[Setting::OutputDBOrig], s[Setting::OutputDBFile]);
        if (status != 1) {
            const std::string orig = (std::filesystem::path(s.OutputFolder) / s[Setting::OutputDBOrig]).string();
            st.reporter->cReportMsg(gmrERR, gmrDISP, "OverwriteOutputDB", 602, 0, {orig});
        }
        return status;
    } catch (const std::exception& error) {
        st.reporter->cReportMsg(gmrERR, gmrDISP, "OverwriteOutputDB", 1, 0, {std::string(error.what())});
        return -1;
    }
}

std::optional<std::filesystem::path> attributeFileOf(const ViewerState& st)
{
    if (!st.ArcViewLinked()) return std::nullopt;
    return std::filesystem::path(st.gisLink->ShapeDirectory()) / st.gisLink->AttributeFileName();
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

int PopulateOutputDB(ViewerState& st)
{
    try {
        ado::Recordset units = layerMapunits(st.soilsConnection, attributeFileOf(st));
        ado::Connection results = openResultsDB(st);
        return AddMapUnitSymbols(results, kResultsTable, units);
    } catch (...) {
        ReportCaughtError(st, "PopulateOutputDB", "Unable to fill the results table with the map units.");
        return -1;
    }
}

ado::Recordset SetUserDataRS(frmQuillon& form, ViewerState& st)
{
    const RunOptions options = form.optionPanel().runOptions().options;
    checkOutputColumn(options.column.value_or(""));
    checkRunOptions(options);
    const long method = chooseMethod(attributeMethods(*st.engine, options.attribute), options.method);
    st.rsAttributes.setFilter("NodeKey='" + escapeQuotes(options.attribute) + "'");
    return buildUserData(options, st.rsAttributes, method);
}

int SetAdoTelvaRS(frmQuillon& form, ViewerState& st)
{
    try {
        SetUserDataRS(form, st);
        return 1;
    } catch (const OptionError& error) {
        st.reporter->cReportMsg(gmrINFO, gmrDISP, "SetAdoTelvaRS", kMsgText, 0, {std::string(error.what())});
    } catch (const RefusedRun& error) {
        st.reporter->cReportMsg(gmrINFO, gmrDISP, "SetAdoTelvaRS", kMsgText, 0, {std::string(error.what())});
    } catch (...) {
        ReportCaughtError(st, "SetAdoTelvaRS", "Unable to read the options of the run.");
    }
    return -1;
}

int ConfirmResultsColumn(ViewerState& st, bool columnExists)
{
    if (!columnExists) return 1;
    return st.reporter->cMsgPrompt(YES_NO, "Quillon", kMsgReplaceColumn) != NO ? 1 : -1;
}

} // namespace qln::viewer
