#include "ReportFixture.h"

#include "quillon/viewer/MapunitList.h"
#include "quillon/viewer/RatingReport.h"
#include "quillon/viewer/modGenericFunctions.h"

#include <sys/stat.h>

#include <fstream>

namespace viewer = qln::viewer;
namespace word = qln::word;

namespace {

class RatingReport : public qln::test::ReportFixture {
protected:
    void SetUp() override
    {
        ReportFixture::SetUp();
        ::setenv("QUILLON_NO_OPEN", "1", 1);
        ::setenv("XDG_RUNTIME_DIR", temp.path().c_str(), 1);
        inputs.templatePath = templates() / "QLNTemplate.dotx";
        inputs.months = engine.GetSoilsDataRS(soilsConnect(), "SELECT DISTINCT monthseq,month FROM comonth");
        inputs.messages.box = [this](const std::string& text) { boxes.push_back(text); };
        inputs.messages.report = [this](int, const std::string& procedure, const std::string& text) {
            boxes.push_back(procedure + ": " + text);
        };
        inputs.messages.status = [this](const std::string& text) { statuses.push_back(text); };
    }

    viewer::RatingReportInputs inputs;
    std::vector<std::string> boxes;
    std::vector<std::string> statuses;

    // The heading typed for a document made of these option elements.
    std::string heading(const std::string& options)
    {
        pugi::xml_document xml;
        const std::string text = "<Report><Title>T</Title>" + options + "<Description>D</Description></Report>";
        EXPECT_TRUE(xml.load_string(text.c_str()));
        word::Application application;
        viewer::PopulateWordDocument(application, xml, inputs, temp / "heading.docx");
        return application.activeDocument()->selection().text();
    }
};

TEST_F(RatingReport, HeadingShowsOnlyTheOptionsInForce)
{
    EXPECT_EQ(heading(""), "T\n");
    EXPECT_EQ(heading("<IgnorePct>0</IgnorePct>"), "T\n");
    EXPECT_EQ(heading("<SetNullsZero>TRUE</SetNullsZero>"), "T\n(Set Null to Zero.)\n");
    EXPECT_EQ(heading("<IgnorePct>15</IgnorePct><SetNullsZero>TRUE</SetNullsZero><TopDepth>0</TopDepth>"
                      "<BotDepth>25</BotDepth><BegMonth>4</BegMonth><EndMonth>9</EndMonth><Rate>-1</Rate>"),
              "T\n(Ignore below 15%.    Set Null to Zero.)\nTop Depth : 0\nBottom Depth : 25\n"
              "Beginning Month : April\nEnding Month : September\nRating : Lower\n");
    EXPECT_EQ(heading("<Rate>1</Rate>"), "T\nRating : Higher\n");
    inputs.options.chkMainDescription = true;
    EXPECT_EQ(heading(""), "T\nD\n");
}

TEST_F(RatingReport, ColumnWidthsFollowTheLongestRatingWithItsClamps)
{
    const auto widths = [](int columns, long longest) {
        word::Table table(1, columns);
        viewer::FinishTable(table, longest);
        std::vector<double> result;
        for (int c = 1; c <= columns; ++c)
            result.push_back(table.columnWidth(c));
        return result;
    };
    EXPECT_EQ(widths(4, 40), (std::vector<double>{50, 120, 210, 140}));
    EXPECT_EQ(widths(4, 31), (std::vector<double>{50, 120, 210, 140}));
    EXPECT_EQ(widths(4, 30), (std::vector<double>{50, 120, 210, 140}));
    EXPECT_EQ(widths(4, 3), (std::vector<double>{50, 120, 56, 294}));
    EXPECT_EQ(widths(3, 40), (std::vector<double>{50, 120, 280}));
    EXPECT_EQ(widths(3, 70), (std::vector<double>{50, 120, 350}));
}

TEST_F(RatingReport, ReasonsAreFoundByRowPositionWhateverTheSymbols)
{
    // Two rows share a symbol with a quote in it: each cell gets its own row's reasons.
    pugi::xml_document xml;
    ASSERT_TRUE(xml.load_string("<Report><Table>"
                                "<row ssaid=\"A\" musym=\"O'B\" Component=\"Component - X (50%)\">"
                                "<Reason text=\"one\"/><Reason text=\"two\"/><Reason text=\"three\"/></row>"
                                "<row ssaid=\"A\" musym=\"O'B\" Component=\"Component - Y (40%)\">"
                                "<Reason text=\"four\"/></row></Table></Report>"));
    word::Cell first;
    viewer::PopulateReasonsCell(first, xml, 1);
    EXPECT_EQ(first.text(), "Component - X (50%)\n  one\n  two\n  three");
    int bullets = 0;
    for (const auto& paragraph : first.paragraphs()) {
        for (const auto& run : paragraph.runs)
            bullets += run.symbolFont == "Symbol" && run.symbolChar == 183 ? 1 : 0;
    }
    EXPECT_EQ(bullets, 3);
    word::Cell second;
    viewer::PopulateReasonsCell(second, xml, 2);
    EXPECT_EQ(second.text(), "Component - Y (40%)\n  four");
}

TEST_F(RatingReport, TheReportHasOneSectionPerSurveyArea)
{
    auto data = dwellings();
    auto units = viewer::GetSelectedRS(tickedList());
    auto results = engine.ProcessData(soilsConnect(), data, units);
    std::unique_ptr<pugi::xml_document> xml;
    engine.PopulateXMLReport(soilsConnect(), data, *results, units, xml);
    ASSERT_TRUE(xml);
    word::Document document(inputs.templatePath);
    viewer::PopulateWordBody(document, *xml, inputs);
    const std::string body = document.bodyXml();
    EXPECT_EQ(body.find("Soil Survey:       Test Area"), body.rfind("Soil Survey:       Test Area"));
    EXPECT_LT(body.find("Soil Survey:       Test Area"), body.find("Soil Survey:       Second Area"));
    // Cd before Ab in the first table, then Gh in the second; Ef has no rating.
    EXPECT_LT(body.find(">Cd<"), body.find(">Ab<"));
    EXPECT_LT(body.find(">Ab<"), body.find("Second Area"));
    EXPECT_LT(body.find("Second Area"), body.find(">Gh<"));
    EXPECT_EQ(body.find(">Ef<"), std::string::npos);
    EXPECT_NE(body.find("<w:gridCol w:w=\"4200\"/><w:gridCol w:w=\"2800\"/>"), std::string::npos);
}

TEST_F(RatingReport, UsersAreToldWhyNoReportIsMade)
{
    auto data = dwellings();
    qln::ado::Recordset empty;
    empty.appendField("musym", qln::ado::adVarChar, 6);
    empty.appendField("mukey", qln::ado::adVarChar, 30);
    empty.open();
    EXPECT_EQ(viewer::PopulateReport(engine, soilsConnect(), data, empty, inputs, temp / "a.docx"), -1);
    EXPECT_EQ(boxes.back(), "No map units selected. Select one or more map units, and then click Preview Report.");

    auto unrated = mapunits({"12"});
    EXPECT_EQ(viewer::PopulateReport(engine, soilsConnect(), data, unrated, inputs, temp / "a.docx"), -1);
    const std::string noRatings = "None of the selected map units has a rating for this attribute, or the soils "
                                  "database lacks their survey area rows (legend, distlegendmd, distmd); no report "
                                  "was made.";
    EXPECT_EQ(boxes.back(), noRatings);

    soilsSql("DELETE FROM distlegendmd;");
    auto rated = mapunits({"10"});
    EXPECT_EQ(viewer::PopulateReport(engine, soilsConnect(), data, rated, inputs, temp / "a.docx"), -1);
    EXPECT_EQ(boxes.back(), noRatings);
    EXPECT_FALSE(std::filesystem::exists(temp / "a.docx"));
}

TEST_F(RatingReport, ADocumentStillOpenInAnEditorGivesTheAlreadyOpenMessage)
{
    const auto folder = viewer::GetTempFolderPath();
    std::ofstream(folder / ".~lock.QLN_Temporary.docx#") << "someone";
    std::ofstream(folder / "QLN_Temporary.docx") << "previous";
    auto data = dwellings();
    auto selection = mapunits({"10"});
    EXPECT_EQ(viewer::PopulateReport(engine, soilsConnect(), data, selection, inputs, {}), -1);
    EXPECT_EQ(boxes.back(), "Word Document already open.  Close the Word Document, then click Preview Report button.");
    EXPECT_EQ(std::filesystem::file_size(folder / "QLN_Temporary.docx"), 8u);

    std::filesystem::remove(folder / ".~lock.QLN_Temporary.docx#");
    statuses.clear();
    EXPECT_EQ(viewer::PopulateReport(engine, soilsConnect(), data, selection, inputs, {}), 1);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Processing Attribute ...", "Preparing Word Document ..."}));
    EXPECT_GT(std::filesystem::file_size(folder / "QLN_Temporary.docx"), 1000u);
}

TEST_F(RatingReport, TheTemporaryFolderIsPrivateAndRefusesAPlantedLink)
{
    const auto folder = viewer::GetTempFolderPath();
    EXPECT_EQ(folder, temp / "quillon");
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ::chmod(folder.c_str(), 0755);
    viewer::GetTempFolderPath();
    ::lstat(folder.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(temp / "elsewhere");
    std::filesystem::create_directory_symlink(temp / "elsewhere", folder);
    EXPECT_THROW(viewer::GetTempFolderPath(), std::runtime_error);
}

TEST_F(RatingReport, MonthNamesComeFromTheRunsMonthList)
{
    EXPECT_EQ(viewer::GetMonthStr(inputs.months, 9), "September");
    EXPECT_EQ(viewer::GetMonthStr(inputs.months, 2), "2");
    EXPECT_EQ(viewer::GetMonthSeq(inputs.months, "April"), 4);
    EXPECT_EQ(viewer::GetMonthSeq(inputs.months, "May"), -1);
}

} // namespace
