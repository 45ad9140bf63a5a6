#pragma once

#include "quillon/ado/Recordset.h"

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qln::engine {

// The data source of the rules database ("main QLN database").
inline constexpr const char* kRulesDataSource = "QuillonDSN2000";

// Horizons of a run whose top lies below their bottom (hzdept_r > hzdepb_r). They are
// rated as horizons of unknown depth; the caller may tell the user.
struct InvertedHorizons {
    long count = 0;
    // The first one met: its keys and depths, e.g. "cokey '7', chkey '70': hzdept_r 30, hzdepb_r 10".
    std::string first;
};

// The error a run stopped by its progress handler raises (see setProgressHandler).
inline constexpr std::int64_t qlnErrCancelled = 0x8004020B;

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

    // How a component-level run over many map units reads and rates them: batches of at
    // most batchMapunits map units read one at a time (0: 2000), rated on that many threads
    // (0: one per core; 1: all on the caller's thread). The ratings are the same either way.
    virtual void setRunLimits(std::size_t batchMapunits, unsigned threads) = 0;

    // The inverted horizons the latest ProcessData met (none before the first run).
    virtual const InvertedHorizons& invertedHorizons() const = 0;

    // The report document of a run (title, options, description, one row per rated map unit
    // of rsSelection in its order); oDocument stays empty when UserData has no row. Runs
    // after ProcessData with the same inputs and its results.
    virtual void PopulateXMLReport(const std::string& iSoils_CS, ado::Recordset& iRSUserData,
                                   ado::Recordset& rsResults, ado::Recordset& rsSelection,
                                   std::unique_ptr<pugi::xml_document>& oDocument) = 0;

    // Progress of a run: map units done and the number the run walks; while it reads rows
    // before rating them (and while a report reads its reasons), the rows read so far and 0.
    // The handler returns false to stop the run: ProcessData then raises qlnErrCancelled and
    // returns nothing.
    virtual void setProgressHandler(std::function<bool(long done, long total)> handler) = 0;

protected:
    clsQuillon() = default;
};

// A new engine, for programs that link the library.
std::unique_ptr<clsQuillon> createQuillon();

} // namespace qln::engine
