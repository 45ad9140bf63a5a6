#pragma once

#include "RunInputs.h"
#include "quillon/engine/clsQuillon.h"

namespace qln::engine {

// The engine behind the clsQuillon interface.
class Quillon final : public clsQuillon {
public:
    Quillon();
    ~Quillon() override;

    ado::Recordset GetMainQLNRS(const std::string& iSQL) override;
    std::optional<ado::Recordset> GetOptionListsRS(const std::string& iSoils_CS, const std::string& iNodeKey) override;
    ado::Recordset GetSoilsDataRS(const std::string& iSoils_CS, const std::string& iSQL) override;
    short CheckForAlternateMUKey(const std::string& iConnectStr) override;
    std::optional<ado::Recordset> ProcessData(const std::string& iSoils_CS, ado::Recordset& iRSUserData,
                                              ado::Recordset& rsMapunits) override;
    void PopulateXMLReport(const std::string& iSoils_CS, ado::Recordset& iRSUserData, ado::Recordset& rsResults,
                           ado::Recordset& rsSelection, std::unique_ptr<pugi::xml_document>& oDocument) override;
    const InvertedHorizons& invertedHorizons() const override;
    void setProgressHandler(std::function<bool(long done, long total)> handler) override;
    void setRunLimits(std::size_t batchMapunits, unsigned threads) override;

private:
    // Steps 6 to 10 of ProcessData for a component-level run over many map units: the soils
    // are read a batch of map units at a time, rated in the order of one whole read.
    ado::Recordset ProcessBatches(const std::string& iSoils_CS, const ado::Recordset& attr,
                                  ado::Recordset& iRSUserData, ado::Recordset& rsMapunits, const RunInputs& in,
                                  int& line);

    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace qln::engine
