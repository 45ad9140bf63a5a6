#include "Quillon.h"

#include "CheckRunData.h"
#include "DataProcessing.h"
#include "FieldValues.h"
#include "modCLSFuncs.h"
#include "modErrorCodes.h"
#include "modGetWhere.h"
#include "modShapeFuncs.h"
#include "modXMLFunctions.h"
#include "rsFunctions.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/ado/Connection.h"

namespace qln::engine {

// The connections and component rows of the latest run; replaced by the next run.
struct Quillon::State {
    ado::Connection soils;
    ado::Connection shaped;
    ado::Recordset components;
    std::function<bool(long, long)> progress;
    InvertedHorizons inverted;
};

namespace {

// The caller's connection string with a provider added. The viewer's plain string ends in
// "DBQ=" + file, without a closing ";": joined bare, the provider would become part of the
// file name.
std::string withProvider(const std::string& connect, const char* provider)
{
    const bool closed = connect.empty() || connect.back() == ';';
    return connect + (closed ? "" : ";") + "Provider=" + provider + ";";
}

} // namespace

Quillon::Quillon() : m_state(std::make_unique<State>()) {}
Quillon::~Quillon() = default;

std::unique_ptr<clsQuillon> createQuillon()
{
    return std::make_unique<Quillon>();
}

void Quillon::setProgressHandler(std::function<bool(long, long)> handler)
{
    m_state->progress = std::move(handler);
}

const InvertedHorizons& Quillon::invertedHorizons() const
{
    return m_state->inverted;
}

ado::Recordset Quillon::GetMainQLNRS(const std::string& iSQL)
{
    try {
        return sGetMainQLNRS(iSQL);
    } catch (...) {
        rethrowWithTrail("GetMainQLNRS", 1);
    }
}

ado::Recordset Quillon::GetSoilsDataRS(const std::string& iSoils_CS, const std::string& iSQL)
{
    try {
        return sGetDisconnectedRS(iSoils_CS, iSQL);
    } catch (...) {
        rethrowWithTrail("GetSoilsDataRS", 1);
    }
}

short Quillon::CheckForAlternateMUKey(const std::string& iConnectStr)
{
    int line = 1;
    try {
        ado::Connection connection;
        adoOpenDatabase(connection, iConnectStr, ado::adUseClient);
        line = 2;
        ado::Recordset mapunit;
        adoOpenRecordset(connection, mapunit, "SELECT * FROM mapunit", ado::adLockOptimistic);
        short result = -1;
        for (int i = 0; i < mapunit.fieldCount(); ++i) {
            if (mapunit.field(i).name == "mukey") {
                result = 1;
                break;
            }
        }
        adoCloseRecordset(mapunit);
        adoCloseDatabase(connection);
        return result;
    } catch (...) {
        rethrowWithTrail("CheckForAlternateMUKey", line);
    }
}

std::optional<ado::Recordset> Quillon::GetOptionListsRS(const std::string& iSoils_CS, const std::string& iNodeKey)
{
    int line = 1;
    try {
        ado::Recordset lists = GetMainQLNRS("SELECT * FROM OptionList WHERE NodeKey='" + escapeQuotes(iNodeKey) + "'");
        if (lists.recordCount() <= 0)
            return std::nullopt;
        line = 2;
        ado::Connection soils;
        adoOpenDatabase(soils, iSoils_CS, ado::adUseClient);
        ado::Recordset result;
        result.appendField("ListName", ado::adChar, 20);
        result.appendField("ListData", ado::adVarChar, 255);
        result.open();
        line = 3;
        for (lists.moveFirst(); !lists.eof(); lists.moveNext()) {
            const std::string label = textField(lists, "Label");
            ado::Recordset items;
            adoOpenRecordset(soils, items, textField(lists, "SelectStmt"), ado::adLockOptimistic);
            if (items.recordCount() <= 0) {
                result.addNew();
                result.setValue("ListName", label);
                result.setValue("ListData", "No Data");
                result.update();
                RaiseError(qlnErrEmptyList, "", label + " dropdown list is empty.");
            }
            for (items.moveFirst(); !items.eof(); items.moveNext()) {
                const Variant& item = items.value(0);
                if (item.isNull() || item.text().empty())
                    continue;
                result.addNew();
                result.setValue("ListName", label);
                result.setValue("ListData", item.text());
                result.update();
            }
            adoCloseRecordset(items);
        }
        adoCloseDatabase(soils);
        result.moveFirst();
        return result;
    } catch (EngineError& error) {
        // The partly filled lists are not returned; the caller sees where it failed.
        throw EngineError(error.number(), "GetOptionListsRS", error.description());
    } catch (...) {
        rethrowWithTrail("GetOptionListsRS", line);
    }
}

std::optional<ado::Recordset> Quillon::ProcessData(const std::string& iSoils_CS, ado::Recordset& iRSUserData,
                                                      ado::Recordset& rsMapunits)
{
    int line = 1;
    try {
        m_state->inverted = InvertedHorizons{};
        if (iRSUserData.recordCount() <= 0)
            return std::nullopt;
        line = 2;
        if (rsMapunits.recordCount() <= 0)
            RaiseError(qlnErrNoMapunits, "", "There are no input mapunit records.");

        line = 3;
        iRSUserData.moveFirst();
        const std::string key = textField(iRSUserData, "InterpKey");
        ado::Recordset attr = GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='" + escapeQuotes(key) + "'");
        if (attr.recordCount() <= 0)
            RaiseError(qlnErrNoAttribute, "GetMainQLNRS", "Main QLN Rules table does not have NodeKey='" + key + "'");
        const RunInputs in = ReadRunInputs(attr, iRSUserData);
        line = 4;
        if (GetMainQLNRS("SELECT * FROM OptionList").recordCount() <= 0)
            RaiseError(qlnErrNoOptionList, "GetMainQLNRS", "Main QLN Rules table does not have OptionList records.");

        line = 5;
        State& state = *m_state;
        adoOpenDatabase(state.soils, withProvider(iSoils_CS, "MSDASQL.1"), ado::adUseClient);
        adoOpenDatabase(state.shaped, withProvider(iSoils_CS, "MSDataShape"), ado::adUseClient);

        line = 6;
        const std::string command = SetAdoTelvaRS(*this, state.soils, attr, iRSUserData, rsMapunits);
        ado::Recordset shape;
        adoOpenRecordset(state.shaped, shape, command, ado::adLockOptimistic);

        line = 7;
        RunContext run;
        if (in.componentLevel) {
            state.components = ado::Recordset();
            const std::string query =
                "SELECT musym,comppct_r,component.cokey,mapunit.lkey,mapunit.mukey  FROM component,mapunit "
                "WHERE component.mukey=mapunit.mukey AND (" + GetMapunitKeyList(rsMapunits) + ") ORDER BY comppct_r DESC";
            run.allComponents = [this, iSoils_CS, query]() -> const ado::Recordset& {
                State& current = *m_state;
                if (!current.components.isOpen())
                    current.components = GetSoilsDataRS(iSoils_CS, query);
                return current.components;
            };
        }

        line = 8;
        int ratingType = ado::adVariant;
        long ratingSize = 0;
        GetDataTypeSize(shape, in.telvaTable, in.valueColumn, ratingType, ratingSize);
        ado::Recordset results;
        results.appendField("musym", ado::adVarChar, 6, ado::adFldUpdatable);
        results.appendField("mukey", ado::adVarChar, 30, ado::adFldUpdatable);
        if (in.singleType)
            results.appendField(in.outputTable, ado::adSingle, 0, ado::adFldUpdatable);
        else
            results.appendField(in.outputTable, ratingType, in.definedSize, ado::adFldUpdatable);
        if (in.componentLevel) {
            results.appendField("cokey", ado::adVarChar, 1000, ado::adFldUpdatable);
            results.appendField("NumComponents", ado::adInteger, 0, ado::adFldUpdatable);
        }
        results.open();

        line = 9;
        CheckRunData(shape, in, state.inverted);
        if (state.progress) {
            long total = 0;
            for (ado::Recordset legend = shape.clone(); hasRow(legend); legend.moveNext()) {
                if (legend.fieldIndex("cmdmapunit") >= 0)
                    total += legend.chapter("cmdmapunit").recordCount();
            }
            run.onMapunit = [&state, total](long done) {
                if (!state.progress(done, total))
                    RaiseError(qlnErrCancelled, "", "The run was cancelled.");
            };
        }
        for (shape.moveFirst(); hasRow(shape); shape.moveNext()) {
            ado::Recordset mapunits = shape.chapter("cmdmapunit");
            ProcessMapunits(run, mapunits, rsMapunits, in, results);
        }

        line = 10;
        if (results.recordCount() > 0)
            results.moveFirst();
        return results.clone();
    } catch (...) {
        rethrowWithTrail("ProcessData", line);
    }
}

void Quillon::PopulateXMLReport(const std::string& iSoils_CS, ado::Recordset& iRSUserData,
                                ado::Recordset& rsResults, ado::Recordset& rsSelection,
                                std::unique_ptr<pugi::xml_document>& oDocument)
{
    int line = 1;
    oDocument.reset();
    try {
        if (!iRSUserData.isOpen() || iRSUserData.recordCount() <= 0)
            return;
        line = 2;
        iRSUserData.moveFirst();
        const std::string key = textField(iRSUserData, "InterpKey");
        ado::Recordset attr = GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='" + escapeQuotes(key) + "'");
        if (attr.recordCount() <= 0)
            RaiseError(qlnErrNoAttribute, "", "Main QLN Rules table does not have NodeKey='" + key + "'");
        line = 3;
        if (GetMainQLNRS("SELECT * FROM OptionList").recordCount() <= 0)
            RaiseError(qlnErrNoOptionList, "GetMainQLNRS", "Main QLN Rules table does not have OptionList records.");

        line = 4;
        const std::string title = GetReportTitle(attr, iRSUserData);
        const std::string description = GetReportDescription(attr);

        line = 5;
        ado::Connection soils;
        ado::Connection shaped;
        // Either connection failing means the soils database cannot be read.
        try {
            adoOpenDatabase(soils, withProvider(iSoils_CS, "MSDASQL.1"), ado::adUseClient);
            adoOpenDatabase(shaped, withProvider(iSoils_CS, "MSDataShape"), ado::adUseClient);
        } catch (const EngineError&) {
            RaiseError(qlnErrSoilsDatabase, "", "Error opening Soils database.");
        }
        ado::Recordset soilsRS;
        try {
            const std::string command = SetAdoTelvaRS(*this, soils, attr, iRSUserData, rsSelection);
            adoOpenRecordset(shaped, soilsRS, command, ado::adLockOptimistic);
        } catch (const EngineError&) {
            RaiseError(qlnErrNoOptionList, "", "Error opening Soils Recordset.");
        }

        line = 6;
        ado::Recordset table;
        GetReportBody(rsResults, attr, soils, soilsRS, table, rsSelection);
        auto document = PopulateXMLDocument(title, description, table, iRSUserData);

        line = 7;
        adoCloseRecordset(soilsRS);
        adoCloseDatabase(shaped);
        adoCloseDatabase(soils);
        oDocument = std::move(document);
    } catch (...) {
        rethrowWithTrail("PopulateXMLReport", line);
    }
}

} // namespace qln::engine
