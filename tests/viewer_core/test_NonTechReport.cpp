#include "ReportFixture.h"

#include "quillon/viewer/MapunitList.h"
#include "quillon/viewer/NonTechReport.h"

namespace viewer = qln::viewer;

namespace {

class NonTechReport : public qln::test::ReportFixture {
protected:
    void SetUp() override
    {
        ReportFixture::SetUp();
        ::setenv("QUILLON_NO_OPEN", "1", 1);
        inputs.templatePath = templates() / "QLNNonTech.dotx";
        inputs.options.categories = {"SOIL", "USE"};
        inputs.messages.box = [this](const std::string& text) { boxes.push_back(text); };
        inputs.messages.report = [this](int, const std::string& procedure, const std::string& text) {
            boxes.push_back(procedure + ": " + text);
        };
    }
    viewer::NonTechInputs inputs;
    std::vector<std::string> boxes;
};

TEST_F(NonTechReport, CategoriesAreTheNonTechnicalOnesSorted)
{
    const auto rss = viewer::SetNonTechRSs(engine, soilsConnect());
    EXPECT_EQ(viewer::PopulateCategories(rss), (std::vector<std::string>{"CLIMATE", "SOIL", "USE"}));
}

TEST_F(NonTechReport, SelectedUnitsCarryTrimmedKeysAndReportDates)
{
    auto list = tickedList();
    list.moveFirst();
    list.setValue("mukey", "11   ");
    list.update();
    auto selected = viewer::GetNonTechSelectedRS(list);
    ASSERT_EQ(selected.recordCount(), 4);
    EXPECT_EQ(selected.value("mukey").text(), "11");
    EXPECT_EQ(selected.value("cordate").text(), "10/01/2023");
    EXPECT_EQ(selected.value("distgendate").text(), "01/02/2024");
}

TEST_F(NonTechReport, ChoicesAreCheckedBeforeAnythingIsWritten)
{
    const auto rss = viewer::SetNonTechRSs(engine, soilsConnect());
    auto list = tickedList();
    inputs.options.categories.clear();
    EXPECT_EQ(viewer::PopulateNonTechReport(engine, soilsConnect(), rss, list, inputs, temp / "n.docx"), -1);
    EXPECT_EQ(boxes.back(),
              "No report category selected. Select one or more report categories, then click Preview Report.");
    inputs.options.categories = {"SOIL"};
    viewer::SetAllRows(list, false);
    EXPECT_EQ(viewer::PopulateNonTechReport(engine, soilsConnect(), rss, list, inputs, temp / "n.docx"), -1);
    EXPECT_EQ(boxes.back(), "No map units selected. Select one or more map units, then click Preview Report.");
    EXPECT_FALSE(std::filesystem::exists(temp / "n.docx"));
}

TEST_F(NonTechReport, AreasUnitsAndTextsInOrderWithMissingUnitsNamed)
{
    auto list = tickedList();
    // The soils database has lost a unit the list still names.
    soilsSql("DELETE FROM mapunit WHERE mukey='11';");
    const auto rss = viewer::SetNonTechRSs(engine, soilsConnect());
    ASSERT_EQ(viewer::PopulateNonTechReport(engine, soilsConnect(), rss, list, inputs, temp / "n.docx"), 1)
        << (boxes.empty() ? "" : boxes.back());
    const std::string xml = qln::test::documentPart(temp / "n.docx");
    const std::vector<std::string> inOrder = {
        "Soil Survey Area: Test Area", "Map Unit: Cd NOT FOUND IN SOILS DATABASE!", "Map Unit: Ab Alpha loam",
        "Description Category: SOIL", "Alpha soils are deep", "Description Category: USE", "Good for pasture.",
        "Map Unit: Ef Gamma", "Soil Survey Area: Second Area", "Map Unit: Gh Delta sand", "Delta is sandy."};
    std::size_t at = 0;
    for (const std::string& text : inOrder) {
        const auto found = xml.find(text, at);
        ASSERT_NE(found, std::string::npos) << text;
        at = found;
    }
    EXPECT_EQ(xml.find("Not picked."), std::string::npos);
    EXPECT_EQ(xml.find("Soil Survey Area: Test Area"), xml.rfind("Soil Survey Area: Test Area"));
}

} // namespace
