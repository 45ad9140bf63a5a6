#pragma once

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

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace qln::engine
