#include "ReportFixture.h"

#include "quillon/viewer/MapunitList.h"
#include "quillon/viewer/NonTechReport.h"
#include "quillon/viewer/RatingReport.h"

#include <cstdlib>

namespace viewer = qln::viewer;

namespace {

// Writes the three documents that the independent readers check (check_reports.py, the
// PDF conversion): into QUILLON_REPORT_SAMPLES_DIR when set, else into the test's folder.
class ReportSamples : public qln::test::ReportFixture {
protected:
    std::filesystem::path output()
    {
        const char* dir = std::getenv("QUILLON_REPORT_SAMPLES_DIR");
        std::filesystem::path folder = dir && *dir ? std::filesystem::path(dir) : temp / "samples";
        std::filesystem::create_directories(folder);
        return folder;
    }
    std::vector<std::string> messages;
    viewer::Messages sink()
    {
        viewer::Messages result;
        result.box = [this](const std::string& text) { messages.push_back(text); };
        result.report = [this](int, const std::string& procedure, const std::string& text) {
            messages.push_back(procedure + ": " + text);
        };
        return result;
    }
};

TEST_F(ReportSamples, WritesTheDocumentsTheReadersCheck)
{
    ::setenv("QUILLON_NO_OPEN", "1", 1);
    writeContact();
    const auto folder = output();
    viewer::CustomerAddress customer;
    viewer::CheckOutlookCustomer(customer, sink());
    ASSERT_TRUE(customer.captured);

    viewer::RatingReportInputs rating;
    rating.templatePath = templates() / "QLNTemplate.dotx";
    rating.months = engine.GetSoilsDataRS(soilsConnect(), "SELECT DISTINCT monthseq,month FROM comonth");
    rating.customer = customer;
    rating.messages = sink();
    auto list = tickedList();
    auto selection = viewer::GetSelectedRS(list);
    auto plain = dwellings();
    ASSERT_EQ(viewer::PopulateReport(engine, soilsConnect(), plain, selection, rating, folder / "rating.docx"), 1);

    rating.options.chkInterpReason = false;
    rating.options.chkMainDescription = true;
    rating.options.chkAmbrelAddress = true;
    auto options = dwellings({{"IgnPct", 10}, {"SetNullsZero", true}, {"TopDepth", 0}, {"BotDepth", 25},
                              {"BegMonth", 4}, {"EndMonth", 9}, {"Rate", -1}});
    ASSERT_EQ(viewer::PopulateReport(engine, soilsConnect(), options, selection, rating,
                                     folder / "rating_options.docx"),
              1);

    viewer::NonTechInputs nontech;
    nontech.templatePath = templates() / "QLNNonTech.dotx";
    nontech.options.categories = {"SOIL", "USE"};
    nontech.options.chkCustomerAddress = true;
    nontech.customer = customer;
    nontech.messages = sink();
    soilsSql("DELETE FROM mapunit WHERE mukey='11';");
    const auto rss = viewer::SetNonTechRSs(engine, soilsConnect());
    ASSERT_EQ(viewer::PopulateNonTechReport(engine, soilsConnect(), rss, list, nontech, folder / "nontech.docx"), 1);
    EXPECT_TRUE(messages.empty()) << messages.front();
}

} // namespace
