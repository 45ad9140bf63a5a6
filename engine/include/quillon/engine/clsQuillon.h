#pragma once

#include "quillon/ado/Recordset.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qln::engine {

// The data source of the rules database ("main QLN database").
inline constexpr const char* kRulesDataSource = "QuillonDSN2000";

// The engine's programmatic identifier. Programs that must not link libQLN2000 create it
// with qln::components::create<qln::engine::clsQuillon>(kQuillonProgId) once the
// library's DllRegisterServer has run; programs that link it call createQuillon().
inline constexpr const char* kQuillonProgId = "QLN2000.clsQuillon";

// The rating engine. Every record set it returns is a disconnected record set the caller
// owns. Errors are qln::EngineError with the trail of procedures in their source. One run
// at a time per object; the soils connections stay open between runs.
class clsQuillon {
public:
    virtual ~clsQuillon() = default;
    clsQuillon(const clsQuillon&) = delete;
    clsQuillon& operator=(const clsQuillon&) = delete;

    // Runs a query on the rules database.
    virtual ado::Recordset GetMainQLNRS(const std::string& iSQL) = 0;
    // Items of every dropdown list of the attribute (ListName, ListData); nothing when the
    // attribute has no lists.
    virtual std::optional<ado::Recordset> GetOptionListsRS(const std::string& iSoils_CS,
                                                           const std::string& iNodeKey) = 0;
    // Runs a query on the soils database.
    virtual ado::Recordset GetSoilsDataRS(const std::string& iSoils_CS, const std::string& iSQL) = 0;
    // 1 when the soils table mapunit has a column named "mukey", else -1.
    virtual short CheckForAlternateMUKey(const std::string& iConnectStr) = 0;
    // One rating run: a row per rated map unit (musym, mukey, the rating column and, for
    // component attributes, cokey and NumComponents); nothing when UserData has no row.
    virtual std::optional<ado::Recordset> ProcessData(const std::string& iSoils_CS, ado::Recordset& iRSUserData,
                                                      ado::Recordset& rsMapunits) = 0;

    // Progress of a run: map units done and the number the run walks.
    virtual void setProgressHandler(std::function<void(long done, long total)> handler) = 0;

protected:
    clsQuillon() = default;
};

// A new engine, for programs that link the library.
std::unique_ptr<clsQuillon> createQuillon();

} // namespace qln::engine
