#include "quillon/viewer/RatingReport.h"

#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/viewer/ReportXML.h"
#include "quillon/viewer/modGenericFunctions.h"

#include <algorithm>
#include <charconv>

namespace qln::viewer {
namespace {

std::size_t characterCount(const std::string& text)
{
    std::size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

// The leading number of an option text ("25" gives 25); 0 when it has none.
double optionNumber(const std::string& text)
{
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

constexpr const char* kNoRatingsMessage =
    "None of the selected map units has a rating for this attribute, or the soils database lacks their survey "
    "area rows (legend, distlegendmd, distmd); no report was made.";

void box(const Messages& messages, const std::string& text)
{
    if (messages.box)
        messages.box(text);
}

void status(const Messages& messages, const std::string& text)
{
    if (messages.status)
        messages.status(text);
}

} // namespace

word::Table& SetupTable(word::Document& document, ado::Recordset& table, int rows, int columns)
{
    word::TextRange& selection = document.selection();
    selection.typeText("\r\n");
    const std::string ssaid = table.value("ssaid").text();
    // The header shows the survey area's own record, the first of its rows.
    ado::Recordset area = table.clone();
    area.setFilter("ssaid='" + escapeQuotes(ssaid) + "'");
    selection.font().size = 13;
    selection.font().bold = true;
    selection.typeText("Soil Survey:       " + area.value("ssaname").text() + "\r\n");
    selection.typeText("Survey Status:     " + area.value("survstat").text() + "\r\n");
    selection.typeText("Correlation Date:  " + area.value("cordate").text() + "\r\n");
    selection.typeText("Distribution Date: " + area.value("distdate").text() + "\r\n");
    selection.font().size = 11;
    selection.font().bold = false;

    word::Table& grid = document.addTable(rows, columns);
    grid.setFontSize(10);
    grid.setRowFont(1, 11, true);
    grid.setHeadingRow(true);
    grid.cell(1, 1).typeText("Map Symbol");
    grid.cell(1, 2).typeText("\r\nSoil Name");
    grid.cell(1, 3).typeText("\r\nRating");
    if (columns == 4)
        grid.cell(1, 4).typeText("\r\nDominant Component(s) and Reason(s)");
    return grid;
}

void FinishTable(word::Table& table, long longestRating)
{
    long length = std::max(longestRating, 8L);
    if (length >= 31 && table.columnCount() == 4)
        length = 30;
    else
        length = std::min(length, 50L);
    table.setColumnWidth(1, 50);
    table.setColumnWidth(2, 120);
    table.setColumnWidth(3, 7.0 * static_cast<double>(length));
    if (table.columnCount() == 4)
        table.setColumnWidth(4, 350.0 - 7.0 * static_cast<double>(length));
}

void PopulateReasonsCell(word::Cell& cell, const pugi::xml_document& xml, long rowNumber)
{
    pugi::xpath_variable_set variables;
    variables.set("n", static_cast<double>(rowNumber));
    const pugi::xpath_query query("Report/Table/row[$n]", &variables);
    PopulateReasonsCell(cell, query.evaluate_node(xml).node());
}

void PopulateReasonsCell(word::Cell& cell, const pugi::xml_node& row)
{
    cell.typeText(std::string(row.attribute("Component").value()) + "\r\n");
    bool first = true;
    for (pugi::xml_node reason : row.children("Reason")) {
        if (!first)
            cell.typeText("\r\n");
        first = false;
        cell.insertSymbol(183, "Symbol");
        cell.typeText(std::string("  ") + reason.attribute("text").value());
    }
}

void PopulateWordBody(word::Document& document, const pugi::xml_document& xml, const RatingReportInputs& inputs)
{
    auto table = ReadXMLTableRS(xml, "Report/Table", inputs.options.chkInterpReason);
    if (!table)
        return;
    const int columns = table->fieldCount() - 5;
    word::Table* grid = nullptr;
    std::string section;
    long longest = 0;
    int row = 1;
    long rowNumber = 0;
    const long total = table->recordCount();
    // The document's rows in step with the table's: looking each up by its number would cost
    // a walk over the rows before it.
    pugi::xml_node xmlRow = xml.child("Report").child("Table").child("row");
    for (table->moveFirst(); !table->eof(); table->moveNext(), xmlRow = xmlRow.next_sibling("row")) {
        ReportProgress(inputs.messages, "Writing the document", ++rowNumber, total);
        const std::string ssaid = table->value("ssaid").text();
        if (!grid || ssaid != section) {
            if (grid)
                FinishTable(*grid, longest);
            ado::Recordset rows = table->clone();
            rows.setFilter("ssaid='" + escapeQuotes(ssaid) + "'");
            ado::Recordset current = table->clone(true);
            grid = &SetupTable(document, current, 1 + static_cast<int>(rows.recordCount()), columns);
            section = ssaid;
            longest = 0;
            row = 1;
        }
        ++row;
        // Rows of one area that come apart in the selection get rows added as needed.
        if (row > grid->rowCount())
            grid->addRow();
        for (int column = 1; column <= columns; ++column) {
            const int field = 4 + column;
            if (table->field(field).name == "Component") {
                PopulateReasonsCell(grid->cell(row, column), xmlRow);
                continue;
            }
            const std::string text = table->value(field).text();
            grid->cell(row, column).typeText(text);
            if (column == 3)
                longest = std::max(longest, static_cast<long>(characterCount(text)));
        }
    }
    FinishTable(*grid, longest);
}

void PopulateWordDocument(word::Application& application, const pugi::xml_document& xml,
                          const RatingReportInputs& inputs, const std::filesystem::path& target)
{
    word::Document& document = application.addDocument(inputs.templatePath);
    word::TextRange& selection = document.selection();
    if (inputs.options.chkAmbrelAddress)
        PopulateCustomerLabel(selection, inputs.customer, inputs.messages);

    selection.font().size = 13;
    selection.font().bold = true;
    selection.typeText(GetXMLText(xml, "Report/Title"));
    selection.font().size = 11;

    std::string line;
    const std::string ignore = GetXMLText(xml, "Report/IgnorePct");
    if (!ignore.empty() && optionNumber(ignore) > 0)
        line = "Ignore below " + ignore + "%.";
    if (!GetXMLText(xml, "Report/SetNullsZero").empty()) {
        if (!line.empty())
            line += "    ";
        line += "Set Null to Zero.";
    }
    if (!line.empty())
        selection.typeText("\r\n(" + line + ")");

    const std::string top = GetXMLText(xml, "Report/TopDepth");
    const std::string bottom = GetXMLText(xml, "Report/BotDepth");
    if (!top.empty() && !bottom.empty()) {
        selection.typeText("\r\nTop Depth : " + top);
        selection.typeText("\r\nBottom Depth : " + bottom);
    }
    const std::string begin = GetXMLText(xml, "Report/BegMonth");
    const std::string end = GetXMLText(xml, "Report/EndMonth");
    if (!begin.empty() && !end.empty()) {
        selection.typeText("\r\nBeginning Month : " + GetMonthStr(inputs.months, static_cast<long>(optionNumber(begin))));
        selection.typeText("\r\nEnding Month : " + GetMonthStr(inputs.months, static_cast<long>(optionNumber(end))));
    }
    const std::string rate = GetXMLText(xml, "Report/Rate");
    if (!rate.empty()) {
        const std::string& word = rate == "-1" ? inputs.options.optLowerCaption : inputs.options.optHigherCaption;
        selection.typeText("\r\nRating : " + word);
    }
    selection.typeText("\r\n");
    selection.font().bold = false;
    if (inputs.options.chkMainDescription)
        selection.typeText(GetXMLText(xml, "Report/Description") + "\r\n");

    PopulateWordBody(document, xml, inputs);
    SaveReportDocument(document, target, inputs.messages);
    ShowWordDocument(application, target, inputs.messages);
}

ado::Recordset ReportMonths(engine::clsQuillon& engine, const std::string& soilsConnect)
{
    return engine.GetSoilsDataRS(soilsConnect, "SELECT DISTINCT monthseq,month FROM comonth ORDER BY monthseq");
}

short PopulateReport(engine::clsQuillon& engine, const std::string& soilsConnect, ado::Recordset& userData,
                     ado::Recordset& selection, const RatingReportInputs& inputs, std::filesystem::path target)
{
    try {
        status(inputs.messages, "Processing Attribute ...");
        if (selection.recordCount() <= 0) {
            box(inputs.messages, "No map units selected. Select one or more map units, and then click Preview Report.");
            return -1;
        }
        ReportProgress(inputs.messages, "Rating", 0, 0);
        auto results = engine.ProcessData(soilsConnect, userData, selection);
        if (!results)
            return -1;
        status(inputs.messages, "Preparing Word Document ...");
        ReportProgress(inputs.messages, "Reading the reasons", 0, 0);
        std::unique_ptr<pugi::xml_document> xml;
        engine.PopulateXMLReport(soilsConnect, userData, *results, selection, xml);
        if (!xml)
            return -1;
        // An empty table would print a heading over nothing: say why instead. The run reads
        // the survey areas too, so rows missing there also leave every map unit unrated.
        if (!xml->select_node("Report/Table")) {
            box(inputs.messages, kNoRatingsMessage);
            return -1;
        }
        std::unique_ptr<word::Application> application;
        if (target.empty()) {
            const std::filesystem::path folder = GetTempFolderPath();
            application = Initialize_Word_Application(folder, kRatingReportFile);
            target = folder / kRatingReportFile;
        } else {
            application = std::make_unique<word::Application>();
        }
        PopulateWordDocument(*application, *xml, inputs, target);
        return 1;
    } catch (...) {
        return ReportDocumentFailure(inputs.messages, "PopulateReport");
    }
}

} // namespace qln::viewer
