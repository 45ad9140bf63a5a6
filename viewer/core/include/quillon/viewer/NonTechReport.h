#pragma once

#include "quillon/ado/Recordset.h"
#include "quillon/engine/clsQuillon.h"
#include "quillon/viewer/CustomerLabel.h"
#include "quillon/viewer/ReportOptions.h"
#include "quillon/word/Application.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qln::viewer {

// What the non-technical report reads from the open soils database.
struct NonTechRSs {
    ado::Recordset categories;  // textcat of the non-technical descriptions, sorted
    ado::Recordset mapunits;    // mukey, musym, muname of every map unit
};

// Reads the category list and the map units for the report tab.
NonTechRSs SetNonTechRSs(engine::clsQuillon& engine, const std::string& soilsConnect);

// The category list's entries, trimmed.
std::vector<std::string> PopulateCategories(const NonTechRSs& rss);

// The selected map units record set of the report: the ticked rows of the map unit list, in
// the order it shows them (its filter and sort),
// with areasymbol, musym, mukey, areaname, ssastatus, cordate and distgendate (dates as
// mm/dd/yyyy, keys trimmed).
ado::Recordset GetNonTechSelectedRS(const ado::Recordset& list);

// What the non-technical report is typed from.
struct NonTechInputs {
    NonTechOptions options;
    CustomerAddress customer;
    std::filesystem::path templatePath;  // QLNNonTech.dotx
    Messages messages;
};

// Checks the choices, builds the document from the ticked rows of the list and saves it as
// target (the temporary document when empty), then shows it. 1, or -1 after telling the
// user why.
short PopulateNonTechReport(engine::clsQuillon& engine, const std::string& soilsConnect, const NonTechRSs& rss,
                            const ado::Recordset& list, const NonTechInputs& inputs, std::filesystem::path target);

inline constexpr const char* kNonTechReportFile = "QLN_NonTech_Tmp.docx";

} // namespace qln::viewer
