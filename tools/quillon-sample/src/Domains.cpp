#include "Domains.h"

#include "Schema.h"
#include "SqliteWriter.h"

#include <algorithm>
#include <stdexcept>

namespace qln::sample {

const std::vector<Domain>& domains()
{
    static const std::vector<Domain> list = {
        {"drainage_class",
         {"Excessively drained", "Somewhat excessively drained", "Well drained",
          "Moderately well drained", "Somewhat poorly drained", "Poorly drained",
          "Very poorly drained"}},
        {"flooding_frequency_class",
         {"None", "Very rare", "Rare", "Occasional", "Frequent", "Very frequent"}},
        {"flooding_duration_class",
         {"Extremely brief", "Very brief", "Brief", "Long", "Very long"}},
        {"ponding_frequency_class", {"None", "Rare", "Occasional", "Frequent"}},
        {"ponding_duration_class", {"Very brief", "Brief", "Long", "Very long"}},
        {"hydrologic_group", {"A", "B", "C", "D", "A/D", "B/D", "C/D"}},
        {"hydric_rating", {"No", "Unranked", "Yes"}},
        {"capability_class", {"1", "2", "3", "4", "5", "6", "7", "8"}},
        {"capability_subclass", {"e", "w", "s", "c"}},
        {"soil_moisture_status", {"Dry", "Moist", "Wet"}},
        {"runoff_class", {"Negligible", "Very low", "Low", "Medium", "High", "Very high"}},
        {"low_moderate_high", {"Low", "Moderate", "High"}},
        {"erosion_class", {"None - deposition", "Class 1", "Class 2", "Class 3"}},
        {"component_kind",
         {"Series", "Family", "Taxadjunct", "Variant", "Miscellaneous area"}},
        {"mapunit_kind",
         {"Consociation", "Complex", "Association", "Undifferentiated group"}},
        {"farmland_classification",
         {"All areas are prime farmland", "Prime farmland if drained",
          "Prime farmland if protected from flooding", "Farmland of statewide importance",
          "Not prime farmland"}},
        {"restriction_kind",
         {"Lithic bedrock", "Paralithic bedrock", "Densic material", "Fragipan"}},
        {"month",
         {"January", "February", "March", "April", "May", "June", "July", "August",
          "September", "October", "November", "December"}},
        {"yes_no", {"No", "Yes"}},
    };
    return list;
}

const std::vector<std::string>& choices(const std::string& domainName)
{
    for (const auto& d : domains())
        if (d.name == domainName)
            return d.choices;
    throw std::logic_error("no domain " + domainName);
}

void writeDomains(Database& db)
{
    Inserter mas(db, "mdstatdommas", soilsTable("mdstatdommas").columnNames());
    Inserter det(db, "mdstatdomdet", soilsTable("mdstatdomdet").columnNames());
    for (const auto& d : domains()) {
        std::size_t longest = 0;
        for (std::size_t i = 0; i < d.choices.size(); ++i) {
            longest = std::max(longest, d.choices[i].size());
            det.text(d.name).integer(static_cast<std::int64_t>(i + 1)).text(d.choices[i])
                .null().text("No").done();
        }
        mas.text(d.name).integer(static_cast<std::int64_t>(longest)).done();
    }
}

} // namespace qln::sample
