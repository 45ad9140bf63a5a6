#include "quillon/viewer/SoilsDatabase.h"
#include "quillon/viewer/SurveyAreaList.h"

#include "../support/SqliteFile.h"
#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace qln::viewer {
namespace {

namespace fs = std::filesystem;

// The four key columns of the layout, each table with one more column beside its key.
const char* kKorvalTables = "CREATE TABLE legend (lkey TEXT, areasymbol TEXT);"
                            "CREATE TABLE mapunit (mukey TEXT, musym TEXT, lkey TEXT);"
                            "CREATE TABLE mdstatdomdet (domainname TEXT, choice TEXT);"
                            "CREATE TABLE mdstatdommas (domainname TEXT, domaintype TEXT)";

void writeText(const fs::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

// The header of an Access file; the rest of it does not matter for telling it apart.
void writeAccessHeader(const fs::path& file)
{
    writeText(file, std::string("\0\1\0\0Standard Jet DB\0", 20) + std::string(100, '\0'));
}

TEST(SoilsFile, IsToldByContentWhateverTheName)
{
    test::TempFolder folder;
    test::runSql(folder / "soils.data", kKorvalTables);
    writeAccessHeader(folder / "survey.bin");
    writeText(folder / "notes.mdb", "not a database");
    writeText(folder / "empty.mdb", "");
    fs::create_directory(folder / "folder.mdb");

    EXPECT_TRUE(isSoilsFile(folder / "soils.data"));
    EXPECT_TRUE(isSoilsFile(folder / "survey.bin"));
    EXPECT_FALSE(isSoilsFile(folder / "notes.mdb"));
    EXPECT_FALSE(isSoilsFile(folder / "empty.mdb"));
    EXPECT_FALSE(isSoilsFile(folder / "folder.mdb"));
    EXPECT_FALSE(isSoilsFile(folder / "missing.mdb"));
}

TEST(SoilsFile, SurveyAreaListOffersTheSoilsFilesOfTheFolderAndSelectsTheRememberedOne)
{
    test::TempFolder folder;
    test::runSql(folder / "ia001.mdb", kKorvalTables);
    test::runSql(folder / "ia002.sqlite", kKorvalTables);
    writeAccessHeader(folder / "ia003.MDB");
    writeText(folder / "readme.mdb", "text");
    fs::create_directory(folder / "dir.mdb");

    SurveyAreaList list = PopulateSSAList(folder.path(), "ia002.sqlite");
    ASSERT_TRUE(list.selected);
    EXPECT_EQ(list.files[*list.selected], "ia002.sqlite");
    std::sort(list.files.begin(), list.files.end());
    EXPECT_EQ(list.files, (std::vector<std::string>{"ia001.mdb", "ia002.sqlite", "ia003.MDB"}));
    // The remembered name must match exactly.
    EXPECT_FALSE(PopulateSSAList(folder.path(), "IA002.sqlite").selected);
}

TEST(SoilsFile, MissingFolderListsTheHomeFolder)
{
    test::TempFolder folder;
    fs::create_directory(folder / "home");
    test::runSql(folder / "home" / "home.mdb", kKorvalTables);
    ::setenv("HOME", (folder / "home").c_str(), 1);

    const SurveyAreaList missing = PopulateSSAList(folder / "no-such-folder", "home.mdb");
    EXPECT_EQ(missing.folder, folder / "home");
    EXPECT_EQ(missing.files, std::vector<std::string>{"home.mdb"});
    EXPECT_EQ(missing.selected, 0u);
}

TEST(SoilsConnectStrings, CarryTheFixedPrefixesAndTheFileAndReadBackAnyPath)
{
    const SoilsConnectStrings plain = soilsConnectStrings("/data/soils", "ia001.mdb");
    const std::string location = "DefaultDir=/data/soils;DBQ=/data/soils/ia001.mdb";
    EXPECT_EQ(plain.plain, std::string(kAccessDriverOptions) + location);
    EXPECT_EQ(plain.bridge, "Provider=MSDASQL.1;" + plain.plain);
    EXPECT_EQ(plain.shape, "Provider=MSDataShape;" + plain.plain);

    // A folder holding ";" would otherwise end the value and name another file.
    const SoilsConnectStrings odd = soilsConnectStrings("/data/a;DBQ=x", "b=c.mdb");
    const auto pairs = ado::parseConnectionString(odd.plain);
    EXPECT_EQ(pairs.at("DBQ"), "/data/a;DBQ=x/b=c.mdb");
    EXPECT_EQ(pairs.at("DEFAULTDIR"), "/data/a;DBQ=x");
}

class LayoutTest : public ::testing::Test {
protected:
    test::TempFolder folder;
    std::string dir() const { return folder.path().string(); }
};

TEST_F(LayoutTest, AcceptsTheFourKeyColumnsInAnyLetterCase)
{
    test::runSql(folder / "good.mdb", kKorvalTables);
    EXPECT_TRUE(checkSoilsLayout(dir(), "good.mdb").valid);
    test::runSql(folder / "upper.mdb", "CREATE TABLE Legend (LKEY TEXT); CREATE TABLE MapUnit (MUKEY TEXT);"
                                       "CREATE TABLE mdstatdomdet (DomainName TEXT);"
                                       "CREATE TABLE MDSTATDOMMAS (domainname TEXT)");
    EXPECT_TRUE(checkSoilsLayout(dir(), "upper.mdb").valid);
}

TEST_F(LayoutTest, RefusesALayoutWithoutTheDomainMasterAndNamesTheColumn)
{
    test::runSql(folder / "old.mdb", "CREATE TABLE legend (lkey TEXT); CREATE TABLE mapunit (mukey TEXT);"
                                     "CREATE TABLE mdstatdomdet (domainname TEXT)");
    LayoutCheck check = checkSoilsLayout(dir(), "old.mdb");
    EXPECT_FALSE(check.valid);
    EXPECT_NE(check.reason.find("mdstatdommas.domainname"), std::string::npos) << check.reason;

    // A table that is there but lacks the key column is refused the same way.
    test::runSql(folder / "nokey.mdb", "CREATE TABLE legend (lkey TEXT); CREATE TABLE mapunit (musym TEXT);"
                                       "CREATE TABLE mdstatdomdet (domainname TEXT);"
                                       "CREATE TABLE mdstatdommas (domainname TEXT)");
    check = checkSoilsLayout(dir(), "nokey.mdb");
    EXPECT_FALSE(check.valid);
    EXPECT_NE(check.reason.find("mapunit.mukey"), std::string::npos) << check.reason;
}

TEST_F(LayoutTest, RefusesOtherFilesWithoutCreatingOrChangingThem)
{
    writeText(folder / "notes.mdb", "plain text");
    LayoutCheck check = checkSoilsLayout(dir(), "notes.mdb");
    EXPECT_FALSE(check.valid);
    EXPECT_NE(check.reason.find("notes.mdb"), std::string::npos);
    std::ifstream in(folder / "notes.mdb");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "plain text");

    EXPECT_FALSE(checkSoilsLayout(dir(), "missing.mdb").valid);
    EXPECT_FALSE(fs::exists(folder / "missing.mdb"));
}

TEST(ColumnCatalogue, FilterFindsTheFirstMissingKeyInOrder)
{
    ado::Recordset catalogue;
    catalogue.appendField("TABLE_NAME", ado::adVarChar, 128);
    catalogue.appendField("COLUMN_NAME", ado::adVarChar, 128);
    catalogue.open();
    for (const auto& [table, column] : std::vector<std::pair<std::string, std::string>>{
             {"mapunit", "mukey"}, {"legend", "areasymbol"}, {"mdstatdommas", "domainname"}}) {
        catalogue.addNew();
        catalogue.setValue("TABLE_NAME", table);
        catalogue.setValue("COLUMN_NAME", column);
        catalogue.update();
    }
    // mdstatdomdet comes before legend in the checks.
    EXPECT_EQ(missingKeyColumn(catalogue), "mdstatdomdet.domainname");
    EXPECT_EQ(catalogue.filter(), "");
    EXPECT_EQ(catalogue.recordCount(), 3);
}

} // namespace
} // namespace qln::viewer
