#include "ReportOutput.h"

#include "quillon/AtomicFile.h"
#include "quillon/mail/Contact.h"
#include "quillon/viewer/CustomerLabel.h"
#include "quillon/viewer/MapunitList.h"
#include "quillon/viewer/NonTechReport.h"
#include "quillon/viewer/RatingReport.h"
#include "quillon/viewer/RunOptions.h"
#include "quillon/viewer/modGenericFunctions.h"

#include <cstdlib>
#include <sstream>

namespace qln::rate {
namespace {

constexpr const char* kRatingTemplate = "QLNTemplate.dotx";
constexpr const char* kNonTechTemplate = "QLNNonTech.dotx";

viewer::Messages streamMessages(std::ostream& out)
{
    viewer::Messages messages;
    messages.box = [&out](const std::string& text) { out << "quillon-rate: " << text << "\n"; };
    messages.report = [&out](int, const std::string& procedure, const std::string& text) {
        out << "quillon-rate: " << procedure << ": " << text << "\n";
    };
    return messages;
}

viewer::CustomerAddress customer(bool wanted, const viewer::Messages& messages, std::ostream& out)
{
    viewer::CustomerAddress address;
    if (!wanted)
        return address;
    viewer::CheckOutlookCustomer(address, messages);
    if (!address.captured)
        out << "quillon-rate: no customer contact is open (QUILLON_CONTACT_FILE); the report has no label.\n";
    return address;
}

} // namespace

std::filesystem::path bundledTemplates(const std::filesystem::path& executable)
{
    return executable.parent_path().parent_path() / "share" / "quillon" / "templates";
}

std::vector<std::filesystem::path> reportInputs(const ReportRequest& request, const std::filesystem::path& templates)
{
    std::vector<std::filesystem::path> inputs;
    if (!request.report.empty())
        inputs.push_back(templates / kRatingTemplate);
    if (!request.nontech.empty())
        inputs.push_back(templates / kNonTechTemplate);
    if (request.label)
        inputs.push_back(mail::activeContactPath());
    return inputs;
}

ado::Recordset reportMapunitList(engine::clsQuillon& engine, const RateOptions& options, ado::Recordset& mapunits)
{
    std::ostringstream failure;
    ado::Recordset list;
    if (viewer::PopulateMapunitList(engine, soilsConnectString(options.soils), mapunits, list,
                                    streamMessages(failure)) != 1)
        throw viewer::RefusedRun("The map units cannot be listed: " + failure.str());
    viewer::SetAllRows(list, true);
    return list;
}

void writeXmlReport(engine::clsQuillon& engine, const RateOptions& options, ado::Recordset& userData,
                    ado::Recordset& selection, const std::filesystem::path& file)
{
    const std::string connect = soilsConnectString(options.soils);
    auto results = engine.ProcessData(connect, userData, selection);
    if (!results)
        throw viewer::RefusedRun("The run has no options record; no XML report was made.");
    std::unique_ptr<pugi::xml_document> document;
    engine.PopulateXMLReport(connect, userData, *results, selection, document);
    if (!document)
        throw viewer::RefusedRun("The run has no options record; no XML report was made.");
    std::ostringstream text;
    document->save(text, "  ", pugi::format_default, pugi::encoding_utf8);
    AtomicFile out(file);
    out.write(text.str());
    out.commit();
}

void writeReports(engine::clsQuillon& engine, const RateOptions& options, ado::Recordset* userData,
                  ado::Recordset& mapunits, const ReportRequest& request, const std::filesystem::path& templates,
                  std::ostream& messages)
{
    // A batch run writes its documents and opens none of them.
    ::setenv("QUILLON_NO_OPEN", "1", 0);
    const std::string connect = soilsConnectString(options.soils);
    const viewer::Messages sink = streamMessages(messages);
    ado::Recordset list = reportMapunitList(engine, options, mapunits);
    const viewer::CustomerAddress address = customer(request.label, sink, messages);

    if (!request.xml.empty()) {
        ado::Recordset selection = viewer::GetSelectedRS(list);
        writeXmlReport(engine, options, *userData, selection, request.xml);
    }
    if (!request.report.empty()) {
        viewer::RatingReportInputs inputs;
        inputs.options.chkMainDescription = request.description;
        inputs.options.chkInterpReason = request.reasons;
        inputs.options.chkAmbrelAddress = request.label && address.captured;
        inputs.months = viewer::ReportMonths(engine, connect);
        inputs.customer = address;
        inputs.templatePath = templates / kRatingTemplate;
        inputs.messages = sink;
        ado::Recordset selection = viewer::GetSelectedRS(list);
        const short made = viewer::PopulateReport(engine, connect, *userData, selection, inputs, request.report);
        if (made == viewer::kReportNotWritten)
            throw OutputError("The rating report " + request.report.string() + " was not written.");
        if (made != 1)
            throw viewer::RefusedRun("No rating report was made.");
    }
    if (!request.nontech.empty()) {
        viewer::NonTechInputs inputs;
        inputs.options.categories = request.categories;
        inputs.options.chkCustomerAddress = request.label && address.captured;
        inputs.customer = address;
        inputs.templatePath = templates / kNonTechTemplate;
        inputs.messages = sink;
        const viewer::NonTechRSs rss = viewer::SetNonTechRSs(engine, connect);
        const short made = viewer::PopulateNonTechReport(engine, connect, rss, list, inputs, request.nontech);
        if (made == viewer::kReportNotWritten)
            throw OutputError("The non-technical report " + request.nontech.string() + " was not written.");
        if (made != 1)
            throw viewer::RefusedRun("No non-technical report was made.");
    }
}

} // namespace qln::rate
