#pragma once

#include "quillon/ado/Recordset.h"
#include "quillon/engine/clsQuillon.h"
#include "quillon/viewer/CustomerLabel.h"
#include "quillon/viewer/ReportOptions.h"
#include "quillon/word/Application.h"
#include "quillon/word/Document.h"

#include <pugixml.hpp>

#include <filesystem>
#include <string>

namespace qln::viewer {

// What the rating report is typed from besides the XML document.
struct RatingReportInputs {
    ReportOptions options;
    ado::Recordset months;  // the run's month list (monthseq, month)
    CustomerAddress customer;
    std::filesystem::path templatePath;  // QLNTemplate.dotx
    Messages messages;
};

// Types the document: label, heading, options, description, then the body; saves it as
// target and shows it. Errors of the template or the file are raised (word::DocumentLocked
// when an editor holds the target open).
void PopulateWordDocument(word::Application& application, const pugi::xml_document& xml,
                          const RatingReportInputs& inputs, const std::filesystem::path& target);

// One survey-area section per run of equal ssaid: header lines and a table of symbol, name,
// rating and (with reasons) the components and reasons.
void PopulateWordBody(word::Document& document, const pugi::xml_document& xml, const RatingReportInputs& inputs);

// The section header for the record's survey area and its table with the header row.
word::Table& SetupTable(word::Document& document, ado::Recordset& table, int rows, int columns);

// Column widths in points: 50, 120, 7 x L and, with four columns, 350 - 7 x L, where L is
// the section's longest rating clamped to 8..50 (30 when a four-column table reaches 31).
void FinishTable(word::Table& table, long longestRating);

// The component line and one bulleted reason per line of the n-th row of the table
// (1-based), found by position rather than by its symbol.
void PopulateReasonsCell(word::Cell& cell, const pugi::xml_document& xml, long rowNumber);
// The same from the row element itself.
void PopulateReasonsCell(word::Cell& cell, const pugi::xml_node& row);

// The whole rating report of the "Preview Report" button: a run over the selection, its
// XML document and the Word document written to target (the temporary document when
// empty). 1, or -1 after telling the user why.
short PopulateReport(engine::clsQuillon& engine, const std::string& soilsConnect, ado::Recordset& userData,
                     ado::Recordset& selection, const RatingReportInputs& inputs, std::filesystem::path target);

// The run's month list (monthseq, month) of the soils database, as the report names months.
ado::Recordset ReportMonths(engine::clsQuillon& engine, const std::string& soilsConnect);

// The temporary document of the rating report.
inline constexpr const char* kRatingReportFile = "QLN_Temporary.docx";

} // namespace qln::viewer
