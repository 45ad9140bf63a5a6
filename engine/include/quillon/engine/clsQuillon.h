#pragma once

#include "quillon/ado/Recordset.h"

#include <pugixml.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qln::engine {

// The data source of the rules database ("main QLN database").
inline constexpr const char* kRulesDataSource = "QuillonDSN2000";

// The rating engine. Every record set it returns is a disconnected record set the caller
// owns. Errors are qln::EngineError with the trail of procedures in their source. One run
// at a time per object; the soils connections stay open between runs.
class clsQuillon {
public:
    clsQuillon();
    ~clsQuillon();
    clsQuillon(const clsQuillon&) = delete;
    clsQuillon& operator=(const clsQuillon&) = delete;

    // Runs a query on the rules database.
    ado::Recordset GetMainQLNRS(const std::string& iSQL);
    // Items of every dropdown list of the attribute (ListName, ListData); nothing when the
    // attribute has no lists.
    std::optional<ado::Recordset> GetOptionListsRS(const std::string& iSoils_CS, const std::string& iNodeKey);
    // Runs a query on the soils database.
    ado::Recordset GetSoilsDataRS(const std::string& iSoils_CS, const std::string& iSQL);
    // 1 when the soils table mapunit has a column named "mukey", else -1.
    short CheckForAlternateMUKey(const std::string& iConnectStr);
    // One rating run: a row per rated map unit (musym, mukey, the rating column and, for
    // component attributes, cokey and NumComponents); nothing when UserData has no row.
    std::optional<ado::Recordset> ProcessData(const std::string& iSoils_CS, ado::Recordset& iRSUserData,
                                              ado::Recordset& rsMapunits);

    // The report document of a run (title, options, description, one row per rated map unit
    // of rsSelection in its order); oDocument stays empty when UserData has no row. Runs
    // after ProcessData with the same inputs and its results.
    void PopulateXMLReport(const std::string& iSoils_CS, ado::Recordset& iRSUserData, ado::Recordset& rsResults,
                           ado::Recordset& rsSelection, std::unique_ptr<pugi::xml_document>& oDocument);

    // Progress of a run: map units done and the number the run walks.
    void setProgressHandler(std::function<void(long done, long total)> handler);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace qln::engine
