#include "quillon/viewer/MapunitSources.h"

#include "quillon/Error.h"

#include "../support/SqliteFile.h"
#include "../support/TempFolder.h"

#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace qln::viewer {
namespace {

namespace fs = std::filesystem;

struct Row {
    const char* mukey;  // nullptr: a Null cell
    const char* musym;
};

// An attribute file as a GIS writes it: upper-case field names, a numeric area column
// between them, texts in the given code page.
void writeAttributeFile(const fs::path& file, const char* codePage, const std::vector<Row>& rows)
{
    DBFHandle handle = DBFCreateEx(file.c_str(), codePage);
    DBFAddField(handle, "MUSYM", FTString, 6, 0);
    DBFAddField(handle, "AREA", FTInteger, 8, 0);
    DBFAddField(handle, "MUKEY", FTString, 16, 0);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const Row& row = rows[static_cast<std::size_t>(i)];
        if (row.musym) DBFWriteStringAttribute(handle, i, 0, row.musym);
        else DBFWriteNULLAttribute(handle, i, 0);
        DBFWriteIntegerAttribute(handle, i, 1, i);
        if (row.mukey) DBFWriteStringAttribute(handle, i, 2, row.mukey);
        else DBFWriteNULLAttribute(handle, i, 2);
    }
    DBFClose(handle);
}

std::vector<std::pair<std::string, std::string>> pairsOf(ado::Recordset rs)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) pairs.emplace_back(rs.value("mukey").text(), rs.value("musym").text());
    return pairs;
}

TEST(GetMUFromDBF, GivesDistinctPairsInFirstSeenOrderWithoutBlankKeys)
{
    test::TempFolder folder;
    writeAttributeFile(folder / "soils.dbf", "UTF-8",
                       {{"300", "Cb"}, {"100", "Ab"}, {"300", "Cb"}, {nullptr, "Zz"}, {"   ", "Yy"},
                        {"100", "Ab2"}, {"200", "Ba"}, {"100", "Ab"}});
    const auto units = GetMUFromDBF(folder.path(), "soils");
    ASSERT_TRUE(units);
    EXPECT_EQ(pairsOf(*units), (std::vector<std::pair<std::string, std::string>>{
                                   {"300", "Cb"}, {"100", "Ab"}, {"100", "Ab2"}, {"200", "Ba"}}));
    EXPECT_EQ(units->field(0).name, "mukey");
    EXPECT_EQ(units->field(0).definedSize, 16);
    EXPECT_EQ(units->field(1).name, "musym");
    EXPECT_EQ(units->field(1).definedSize, 6);
    EXPECT_NE(units->field(1).attributes & ado::adFldUpdatable, 0);
}

TEST(GetMUFromDBF, ReadsTextsInTheFilesCodePageAndFindsAnUpperCaseExtension)
{
    test::TempFolder folder;
    // "Bé" and "Ñu" in Latin-1: one byte each for the accented letters.
    writeAttributeFile(folder / "Layer.DBF", "ISO-8859-1", {{"10", "B\xE9"}, {"11", "\xD1u"}});
    const auto units = GetMUFromDBF(folder.path(), "Layer");
    ASSERT_TRUE(units);
    EXPECT_EQ(pairsOf(*units),
              (std::vector<std::pair<std::string, std::string>>{{"10", "B\xC3\xA9"}, {"11", "\xC3\x91u"}}));
}

// The same bytes are other keys under another code page: the language byte of a DOS-era
// file (CP437) and a .cpg naming Windows-1252 are both honoured, as the map honours them.
TEST(GetMUFromDBF, KeysFollowTheLanguageByteOrTheCpgFile)
{
    test::TempFolder folder;
    writeAttributeFile(folder / "dos.dbf", "LDID/1", {{"K\x82", "S\x81"}});
    writeAttributeFile(folder / "windows.dbf", "1252", {{"K\x82", "S\x8A"}});
    const auto dos = GetMUFromDBF(folder.path(), "dos");
    const auto windows = GetMUFromDBF(folder.path(), "windows");
    ASSERT_TRUE(dos && windows);
    EXPECT_EQ(pairsOf(*dos), (std::vector<std::pair<std::string, std::string>>{{"K\xC3\xA9", "S\xC3\xBC"}}));
    EXPECT_EQ(pairsOf(*windows),
              (std::vector<std::pair<std::string, std::string>>{{"K\xE2\x80\x9A", "S\xC5\xA0"}}));
}

TEST(GetMUFromDBF, BlankNameGivesNothingAndNullKeysGiveAnEmptySet)
{
    test::TempFolder folder;
    EXPECT_FALSE(GetMUFromDBF(folder.path(), "   "));
    writeAttributeFile(folder / "nulls.dbf", "UTF-8", {{nullptr, "Ab"}, {"", "Cd"}});
    const auto units = GetMUFromDBF(folder.path(), "nulls");
    ASSERT_TRUE(units);
    EXPECT_EQ(units->recordCount(), 0);
}

TEST(GetMUFromDBF, MissingFileOrColumnRaisesWithItsTrail)
{
    test::TempFolder folder;
    try {
        GetMUFromDBF(folder.path(), "absent");
        FAIL() << "no error";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.source().rfind("GetMUFromDBF(Line ", 0), 0u) << error.source();
        EXPECT_NE(error.description().find("absent.dbf"), std::string::npos) << error.description();
    }
    DBFHandle handle = DBFCreateEx((folder / "nokey.dbf").c_str(), "UTF-8");
    DBFAddField(handle, "MUSYM", FTString, 6, 0);
    DBFWriteStringAttribute(handle, 0, 0, "Ab");
    DBFClose(handle);
    try {
        GetMUFromDBF(folder.path(), "nokey");
        FAIL() << "no error";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.source().rfind("GetMUFromDBF(Line ", 0), 0u) << error.source();
        EXPECT_NE(error.description().find("mukey"), std::string::npos) << error.description();
    }
}

class GetMUFromMDBTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::runSql(folder / "soils.sqlite",
                     "CREATE TABLE mapunit (mukey TEXT, musym TEXT, muname TEXT);"
                     "INSERT INTO mapunit VALUES ('1','Ab','A'),('2','Bc','B'),('3','Cd','C'),('2','Bc','B again')");
        soils.setConnectionString("DBQ=" + (folder / "soils.sqlite").string() + ";");
        soils.open();
    }
    test::TempFolder folder;
    ado::Connection soils;
};

TEST_F(GetMUFromMDBTest, WithoutConditionListsEveryMapUnitOnce)
{
    auto units = GetMUFromMDB(soils);
    auto pairs = pairsOf(units);
    std::sort(pairs.begin(), pairs.end());
    EXPECT_EQ(pairs, (std::vector<std::pair<std::string, std::string>>{{"1", "Ab"}, {"2", "Bc"}, {"3", "Cd"}}));
}

TEST_F(GetMUFromMDBTest, ConditionRestrictsAndAFailingQueryCarriesTheTrail)
{
    auto units = GetMUFromMDB(soils, " WHERE mukey IN ('3','1')");
    auto pairs = pairsOf(units);
    std::sort(pairs.begin(), pairs.end());
    EXPECT_EQ(pairs, (std::vector<std::pair<std::string, std::string>>{{"1", "Ab"}, {"3", "Cd"}}));
    try {
        GetMUFromMDB(soils, " WHERE nosuchcolumn=1");
        FAIL() << "no error";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.source().rfind("GetMUFromMDB(Line 1)/", 0), 0u) << error.source();
    }
}

} // namespace
} // namespace qln::viewer
