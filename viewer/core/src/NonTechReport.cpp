#include "quillon/viewer/NonTechReport.h"

#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/Text.h"
#include "quillon/ado/ReadWatch.h"
#include "quillon/viewer/modGenericFunctions.h"

namespace qln::viewer {
namespace {

void box(const Messages& messages, const std::string& text)
{
    if (messages.box)
        messages.box(text);
}

void setFont(word::TextRange& selection, double size, bool bold, bool italic)
{
    selection.font().size = size;
    selection.font().bold = bold;
    selection.font().italic = italic;
}

// The map units of one survey area: heading line and, when the soils database has the map
// unit, its texts of the chosen categories (from `texts`, those of every map unit) sorted by
// category.
void typeMapunit(word::TextRange& selection, const NonTechRSs& rss, const ado::Recordset& texts,
                 const ado::Recordset& unit)
{
    const std::string mukey = trimBlanks(unit.value("mukey").text());
    const std::string musym = trimBlanks(unit.value("musym").text());
    ado::Recordset found = rss.mapunits.clone();
    found.setFilter("mukey='" + escapeQuotes(mukey) + "'");
    if (found.recordCount() <= 0) {
        setFont(selection, 11, true, false);
        selection.typeText("\r\nMap Unit: " + musym + " NOT FOUND IN SOILS DATABASE!\r\n");
        return;
    }
    setFont(selection, 11, true, true);
    selection.typeText("\r\nMap Unit: " + musym + " " + found.value("muname").text() + "\r\n");
    ado::Recordset own = texts.clone();
    own.setFilter("mukey='" + escapeQuotes(mukey) + "'");
    if (own.recordCount() <= 0)
        return;
    own.setSort("textcat");
    for (own.moveFirst(); !own.eof(); own.moveNext()) {
        // The filter finds numbers and texts of one value alike; the query compared texts.
        if (const Variant& key = own.value("mukey"); key.isText() && key.text() != mukey)
            continue;
        setFont(selection, 12, true, true);
        selection.typeText("Description Category: " + own.value("textcat").text() + "\r\n");
        setFont(selection, 11, false, false);
        selection.typeText(own.value("text").text() + "\r\n");
    }
}

} // namespace

NonTechRSs SetNonTechRSs(engine::clsQuillon& engine, const std::string& soilsConnect)
{
    NonTechRSs rss;
    rss.categories = engine.GetSoilsDataRS(soilsConnect, "SELECT DISTINCT textcat  FROM mutext WHERE "
                                                         "mapunittextkind='Nontechnical description' ORDER BY textcat");
    rss.mapunits = engine.GetSoilsDataRS(soilsConnect, "SELECT mukey,musym,muname FROM mapunit");
    return rss;
}

std::vector<std::string> PopulateCategories(const NonTechRSs& rss)
{
    std::vector<std::string> categories;
    for (ado::Recordset row = rss.categories.clone(); !row.eof(); row.moveNext()) {
        const std::string category = trimBlanks(row.value("textcat").text());
        if (!category.empty())
            categories.push_back(category);
    }
    return categories;
}

ado::Recordset GetNonTechSelectedRS(const ado::Recordset& list)
{
    ado::Recordset selected;
    selected.appendField("areasymbol", ado::adVarChar, 20);
    selected.appendField("musym", ado::adVarChar, 20);
    selected.appendField("mukey", ado::adChar, 30);
    selected.appendField("areaname", ado::adChar, 255);
    selected.appendField("ssastatus", ado::adChar, 30);
    selected.appendField("cordate", ado::adChar, 10);
    selected.appendField("distgendate", ado::adChar, 10);
    selected.open();
    if (!list.isOpen())
        return selected;
    // The list's own filter and sort are the order the user sees.
    ado::Recordset row = list.clone(true);
    for (row.moveFirst(); !row.eof(); row.moveNext()) {
        if (row.value("Selected").number().value_or(0) == 0)
            continue;
        selected.addNew();
        selected.setValue("areasymbol", trimBlanks(row.value("Survey Area").text()));
        selected.setValue("musym", trimBlanks(row.value("Map Unit").text()));
        selected.setValue("mukey", trimBlanks(row.value("mukey").text()));
        selected.setValue("areaname", trimBlanks(row.value("areaname").text()));
        selected.setValue("ssastatus", trimBlanks(row.value("ssastatus").text()));
        selected.setValue("cordate", formatReportDate(row.value("cordate").text()));
        selected.setValue("distgendate", formatReportDate(row.value("distgendate").text()));
        selected.update();
    }
    if (selected.recordCount() > 0)
        selected.moveFirst();
    return selected;
}

short PopulateNonTechReport(engine::clsQuillon& engine, const std::string& soilsConnect, const NonTechRSs& rss,
                            const ado::Recordset& list, const NonTechInputs& inputs, std::filesystem::path target)
{
    if (inputs.options.categories.empty()) {
        box(inputs.messages, "No report category selected. Select one or more report categories, then click "
                             "Preview Report.");
        return -1;
    }
    ado::Recordset selected = GetNonTechSelectedRS(list);
    if (selected.recordCount() <= 0) {
        box(inputs.messages, "No map units selected. Select one or more map units, then click Preview Report.");
        return -1;
    }
    try {
        if (inputs.messages.status)
            inputs.messages.status("Preparing Word Document...");
        std::unique_ptr<word::Application> application;
        if (target.empty()) {
            const std::filesystem::path folder = GetTempFolderPath();
            application = Initialize_Word_Application(folder, kNonTechReportFile);
            target = folder / kNonTechReportFile;
        } else {
            application = std::make_unique<word::Application>();
        }
        word::Document& document = application->addDocument(inputs.templatePath);
        word::TextRange& selection = document.selection();
        if (inputs.options.chkCustomerAddress)
            PopulateCustomerLabel(selection, inputs.customer, inputs.messages);

        std::string categories;
        for (const std::string& category : inputs.options.categories)
            categories += (categories.empty() ? "'" : ",'") + escapeQuotes(trimBlanks(category)) + "'";

        // The texts of every map unit in one query: one per map unit would walk a table
        // without an index on mukey again for each.
        ReportProgress(inputs.messages, "Reading the descriptions", 0, 0);
        ado::Recordset texts;
        {
            const ado::ReadWatch watch(
                [&inputs](long rows) { ReportProgress(inputs.messages, "Reading the descriptions", rows, 0); });
            texts = engine.GetSoilsDataRS(soilsConnect, "SELECT * FROM mutext WHERE textcat IN (" + categories + ")");
        }

        // Survey areas follow each other in the list's sort order; each heading is followed
        // by the units of its own run of rows.
        std::string area;
        bool first = true;
        const long total = selected.recordCount();
        long done = 0;
        for (selected.moveFirst(); !selected.eof(); selected.moveNext()) {
            ReportProgress(inputs.messages, "Writing the document", ++done, total);
            const std::string symbol = selected.value("areasymbol").text();
            if (first || symbol != area) {
                first = false;
                area = symbol;
                setFont(selection, 13, true, false);
                selection.typeText("\r\nSoil Survey Area: " + selected.value("areaname").text() +
                                   "\r\nSurvey Status:       " + selected.value("ssastatus").text() +
                                   "\r\nCorrelation Date:  " + selected.value("cordate").text() +
                                   "\r\nDistribution Date: " + selected.value("distgendate").text() + "\r\n");
            }
            typeMapunit(selection, rss, texts, selected);
        }
        SaveReportDocument(document, target, inputs.messages);
        ShowWordDocument(*application, target, inputs.messages);
        return 1;
    } catch (...) {
        return ReportDocumentFailure(inputs.messages, "PopulateNonTechReport");
    }
}

} // namespace qln::viewer
