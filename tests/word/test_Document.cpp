#include "../support/TempFolder.h"
#include "../support/ZipPart.h"
#include "quillon/word/Document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

namespace word = qln::word;

namespace {

const std::filesystem::path kTemplate = std::filesystem::path(QUILLON_TEMPLATES_DIR) / "QLNTemplate.dotx";

TEST(Document, TypedTextSplitsIntoParagraphsAndRunsByFont)
{
    word::Document document(kTemplate);
    auto& selection = document.selection();
    selection.font().size = 13;
    selection.font().bold = true;
    selection.typeText("Title");
    selection.font().size = 11;
    selection.typeText("\r\n(Set Null to Zero.)\nnext\rlast");
    selection.font().bold = false;
    selection.typeText(" plain\x01\tend");
    EXPECT_EQ(selection.text(), "Title\n(Set Null to Zero.)\nnext\nlast plain\tend");
    EXPECT_EQ(document.bodyXml(),
              "<w:p><w:r><w:rPr><w:b/><w:sz w:val=\"26\"/><w:szCs w:val=\"26\"/></w:rPr>"
              "<w:t xml:space=\"preserve\">Title</w:t></w:r></w:p>"
              "<w:p><w:r><w:rPr><w:b/><w:sz w:val=\"22\"/><w:szCs w:val=\"22\"/></w:rPr>"
              "<w:t xml:space=\"preserve\">(Set Null to Zero.)</w:t></w:r></w:p>"
              "<w:p><w:r><w:rPr><w:b/><w:sz w:val=\"22\"/><w:szCs w:val=\"22\"/></w:rPr>"
              "<w:t xml:space=\"preserve\">next</w:t></w:r></w:p>"
              "<w:p><w:r><w:rPr><w:b/><w:sz w:val=\"22\"/><w:szCs w:val=\"22\"/></w:rPr>"
              "<w:t xml:space=\"preserve\">last</w:t></w:r>"
              "<w:r><w:rPr><w:sz w:val=\"22\"/><w:szCs w:val=\"22\"/></w:rPr>"
              "<w:t xml:space=\"preserve\"> plain</w:t><w:tab/><w:t xml:space=\"preserve\">end</w:t></w:r></w:p>");
}

TEST(Document, BrokenUtf8AndMarkupInTextStayHarmless)
{
    word::Document document(kTemplate);
    document.selection().typeText("a\xFF<b>&\"c\xC3");
    EXPECT_EQ(document.selection().text(), "a\xEF\xBF\xBD<b>&\"c\xEF\xBF\xBD");
    EXPECT_NE(document.bodyXml().find("a\xEF\xBF\xBD&lt;b&gt;&amp;\"c"), std::string::npos);
}

TEST(Document, TablesHaveFixedWidthsAHeaderRowAndSymbols)
{
    word::Document document(kTemplate);
    word::Table& table = document.addTable(2, 2);
    table.setFontSize(10);
    table.setRowFont(1, 11, true);
    table.setHeadingRow(true);
    table.setColumnWidth(1, 50);
    table.setColumnWidth(2, 120.5);
    table.cell(1, 1).typeText("H");
    table.cell(2, 2).insertSymbol(183, "Symbol");
    table.cell(2, 2).typeText("  reason");
    table.addRow();
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_EQ(table.cell(3, 1).font().size, 10);
    const std::string xml = document.bodyXml();
    EXPECT_NE(xml.find("<w:tblW w:w=\"3410\" w:type=\"dxa\"/>"), std::string::npos);
    EXPECT_NE(xml.find("<w:tblGrid><w:gridCol w:w=\"1000\"/><w:gridCol w:w=\"2410\"/></w:tblGrid>"), std::string::npos);
    EXPECT_NE(xml.find("<w:trPr><w:tblHeader/></w:trPr>"), std::string::npos);
    EXPECT_NE(xml.find("<w:sym w:font=\"Symbol\" w:char=\"F0B7\"/>"), std::string::npos);
    // Empty cells still hold a paragraph, and the body does not end in the table.
    EXPECT_NE(xml.find("<w:tcW w:w=\"1000\" w:type=\"dxa\"/></w:tcPr><w:p/></w:tc>"), std::string::npos);
    EXPECT_EQ(xml.substr(xml.size() - 6), "<w:p/>");
}

TEST(Document, SavedDocumentKeepsTheTemplatePartsAndIsADocument)
{
    qln::test::TempFolder temp;
    word::Document document(kTemplate);
    document.selection().typeText("Hello");
    const auto target = temp / "out.docx";
    document.saveAs(target);
    const std::string types = qln::test::zipPart(target, "[Content_Types].xml");
    EXPECT_NE(types.find("wordprocessingml.document.main+xml"), std::string::npos);
    EXPECT_EQ(types.find("template.main+xml"), std::string::npos);
    EXPECT_EQ(qln::test::zipPart(target, "word/header1.xml"), qln::test::zipPart(kTemplate, "word/header1.xml"));
    const std::string main = qln::test::zipPart(target, "word/document.xml");
    EXPECT_NE(main.find(">Hello</w:t>"), std::string::npos);
    EXPECT_LT(main.find("Hello"), main.find("<w:sectPr"));
    EXPECT_NE(main.find("w:headerReference"), std::string::npos);
    // Nothing of the write is left beside the document.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.path()), {}), 1);

    // A long body tells how far its writing has come; what `going` throws leaves the
    // document as it was.
    word::Table& table = document.addTable(1000, 2);
    table.cell(1000, 2).typeText("last");
    std::vector<std::pair<long, long>> calls;
    document.saveAs(target, [&calls](long done, long total) { calls.emplace_back(done, total); });
    ASSERT_GE(calls.size(), 3u);
    const long total = calls.front().second;
    EXPECT_GE(total, 1000);
    EXPECT_TRUE(std::all_of(calls.begin(), calls.end(), [&](const auto& call) { return call.second == total; }));
    EXPECT_TRUE(std::is_sorted(calls.begin(), calls.end()));
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [&](const auto& call) { return call.first > 0 && call.first < total; }));
    EXPECT_EQ(calls.back().first, total);
    struct Stop {};
    EXPECT_THROW(word::Document(kTemplate).saveAs(target, [](long, long) { throw Stop{}; }), Stop);
    EXPECT_NE(qln::test::zipPart(target, "word/document.xml").find(">last</w:t>"), std::string::npos);
}

TEST(Document, MissingOrBrokenTemplatesAreErrorsNamingTheFile)
{
    qln::test::TempFolder temp;
    try {
        word::Document document(temp / "none.dotx");
        FAIL() << "no error";
    } catch (const word::DocumentError& error) {
        EXPECT_NE(std::string(error.what()).find("none.dotx"), std::string::npos);
    }
    std::ofstream(temp / "bad.dotx") << "not a zip";
    EXPECT_THROW(word::Document(temp / "bad.dotx"), word::DocumentError);
}

TEST(Document, LockFilesOfEditorsRefuseTheSaveAndKeepTheOldFile)
{
    qln::test::TempFolder temp;
    word::Document document(kTemplate);
    const auto target = temp / "QLN_Temporary.docx";
    std::ofstream(target) << "old";
    std::ofstream(temp / ".~lock.QLN_Temporary.docx#") << "user";
    EXPECT_THROW(document.saveAs(target), word::DocumentLocked);
    std::filesystem::remove(temp / ".~lock.QLN_Temporary.docx#");
    std::ofstream(temp / "~$N_Temporary.docx") << "user";
    EXPECT_THROW(document.saveAs(target), word::DocumentLocked);
    std::ifstream old(target);
    std::string text;
    old >> text;
    EXPECT_EQ(text, "old");
}

TEST(Document, ALinkPlantedAtTheNameIsReplacedNotFollowed)
{
    qln::test::TempFolder temp;
    const auto victim = temp / "victim.txt";
    std::ofstream(victim) << "keep";
    const auto target = temp / "report.docx";
    std::filesystem::create_symlink(victim, target);
    word::Document document(kTemplate);
    document.saveAs(target);
    EXPECT_FALSE(std::filesystem::is_symlink(target));
    std::ifstream kept(victim);
    std::string text;
    kept >> text;
    EXPECT_EQ(text, "keep");
}

} // namespace
