#pragma once

#include "Model.h"
#include "SqliteWriter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qln::sample {

// Writes the rows of a soils database in the soils layout: the fixed metadata, then survey
// areas and map units one at a time, handing out the child keys as it goes.
class SoilsWriter {
public:
    explicit SoilsWriter(Database& db);
    ~SoilsWriter();

    // mdstatrshipdet, the domains and the one distmd row.
    void writeMetadata(const std::string& distgendate);
    void writeArea(const SurveyArea& area);
    void writeMapUnit(const MapUnit& mu, const std::string& lkey);
    void writeSortOrder(const std::string& lkey, int lseq, const std::vector<std::string>& mukeysInOrder);

    static constexpr int kMaxReasons = 5;

private:
    void writeComponent(const Component& c, const std::string& mukey);
    std::string nextKey(std::int64_t& counter) { return std::to_string(counter++); }

    Database& m_db;
    struct Inserters;
    std::unique_ptr<Inserters> m_ins;
    std::int64_t m_chkey = 30000001;
    std::int64_t m_comonthkey = 50000001;
    std::int64_t m_cosoilmoistkey = 70000001;
    std::int64_t m_cointerpkey = 90000001;
    std::int64_t m_otherkey = 1000001;   // mutext, mucropyld, cocropyld, corestrictions, cotext
};

} // namespace qln::sample
