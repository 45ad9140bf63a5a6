#pragma once

#include "RateRun.h"
#include "quillon/ado/Recordset.h"
#include "quillon/engine/clsQuillon.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace qln::rate {

// The documents of a run besides the ratings, and the report tab's check boxes.
struct ReportRequest {
    std::filesystem::path xml;      // the XML report document
    std::filesystem::path report;   // the rating report (.docx)
    std::filesystem::path nontech;  // the non-technical report (.docx)
    std::vector<std::string> categories;
    bool description = false;
    bool reasons = true;
    bool label = false;

    bool ratingDocuments() const { return !xml.empty() || !report.empty(); }
    bool any() const { return ratingDocuments() || !nontech.empty(); }
};

// The report templates bundled with the program, beside it in ../share/quillon/templates.
std::filesystem::path bundledTemplates(const std::filesystem::path& executable);

// The files the documents asked for read besides the databases: their templates and, for
// an address label, the open contact.
std::vector<std::filesystem::path> reportInputs(const ReportRequest& request, const std::filesystem::path& templates);

// The map units of the run as the report grids list them (survey sort order), all ticked.
ado::Recordset reportMapunitList(engine::clsQuillon& engine, const RateOptions& options, ado::Recordset& mapunits);

// Writes the XML report document of a run over the selection (musym, mukey) to the file.
void writeXmlReport(engine::clsQuillon& engine, const RateOptions& options, ado::Recordset& userData,
                    ado::Recordset& selection, const std::filesystem::path& file);

// Writes the documents asked for; RefusedRun with the reason when one is not made.
void writeReports(engine::clsQuillon& engine, const RateOptions& options, ado::Recordset* userData,
                  ado::Recordset& mapunits, const ReportRequest& request, const std::filesystem::path& templates,
                  std::ostream& messages);

} // namespace qln::rate
