#include "modResults.h"

#include "RunRequest.h"
#include "frmQuillon.h"
#include "quillon/SqlText.h"
#include "quillon/ado/DbaseTable.h"
#include "quillon/viewer/ResultsDatabase.h"
#include "quillon/viewer/ResultsTable.h"
#include "quillon/viewer/UserData.h"

#include <filesystem>
#include <set>

namespace qln::viewer {

using namespace reporting;

namespace {

constexpr int kMsgText = 1;
constexpr int kMsgReplaceColumn = 1501;

ado::Connection openResultsDB(const ViewerState& st)
{
    ado::Connection results;
    results.setConnectionString("DSN=" + st.settings[Setting::OutputDBDSN] + ";");
    results.open();
    return results;
}

} // namespace

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
    const std::filesystem::path folder = st.gisLink->ShapeDirectory();
    const std::string name = st.gisLink->AttributeFileName();
    std::error_code error;
    if (!std::filesystem::exists(folder / (name + ".dbf"), error) && std::filesystem::exists(folder / (name + ".DBF"), error))
        return folder / (name + ".DBF");
    return folder / (name + ".dbf");
}

ado::Recordset layerMapunits(engine::clsQuillon& engine, const std::string& soilsConnect,
                             const std::optional<std::filesystem::path>& attributeFile)
{
    const std::string query = "select distinct(mukey),musym from mapunit ";
    if (!attributeFile) return engine.GetSoilsDataRS(soilsConnect, query);

    ado::Recordset table = ado::readDbaseTable(*attributeFile);
    if (table.fieldIndex("mukey") < 0)
        throw RefusedRun("The attribute file " + attributeFile->string() + " has no mukey column.");
    std::set<std::string> seen;
    std::string keys;
    for (; !table.eof(); table.moveNext()) {
        const Variant& key = table.value("mukey");
        if (key.isNull() || !seen.insert(key.text()).second) continue;
        keys += (keys.empty() ? "'" : ",'") + escapeQuotes(key.text()) + "'";
    }
    if (keys.empty())
        throw RefusedRun("The attribute file " + attributeFile->string() + " lists no map units; there is nothing to rate.");
    return engine.GetSoilsDataRS(soilsConnect, query + " WHERE mukey IN (" + keys + ")");
}

int PopulateOutputDB(ViewerState& st)
{
    try {
        ado::Recordset units = layerMapunits(*st.engine, st.soilsConnectString, attributeFileOf(st));
        ado::Connection results = openResultsDB(st);
        return AddMapUnitSymbols(results, kResultsTable, units);
    } catch (...) {
        st.reporter->cReportMsg2(gmrERR, gmrDISP, "PopulateOutputDB", kMsgText, reporter::caughtError(),
                                 {"Unable to fill the results table with the map units."});
        return -1;
    }
}

ado::Recordset SetUserDataRS(frmQuillon& form, ViewerState& st)
{
    const RunOptions options = currentRunOptions(form);
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
        st.reporter->cReportMsg2(gmrERR, gmrDISP, "SetAdoTelvaRS", kMsgText, reporter::caughtError(),
                                 {"Unable to read the options of the run."});
    }
    return -1;
}

std::optional<ado::Recordset> AddToResultsDB(ViewerState& st, const ado::Recordset& rsResults)
{
    const std::string type = st.rsAttributes.value("DBFType").text();
    ado::Connection results = openResultsDB(st);
    return viewer::AddToResultsDB(results, type, rsResults, [&st] {
        return st.reporter->cMsgPrompt(YES_NO, "Quillon", kMsgReplaceColumn) != NO;
    });
}

} // namespace qln::viewer
