#include "quillon/viewer/SurveyAreaList.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace qln::viewer {
namespace {

void touch(const std::filesystem::path& path)
{
    std::ofstream(path) << "x";
}

TEST(SurveyAreaList, ListsOnlyMdbFilesExactCaseAndSelectsTheRememberedOne)
{
    test::TempFolder folder;
    touch(folder / "ia001.mdb");
    touch(folder / "ia002.mdb");
    touch(folder / "upper.MDB");
    touch(folder / "notes.txt");
    std::filesystem::create_directory(folder / "folder.mdb");

    SurveyAreaList list = PopulateSSAList(folder.path(), "ia002.mdb");
    std::sort(list.files.begin(), list.files.end());
    EXPECT_EQ(list.folder, folder.path());
    EXPECT_EQ(list.files, (std::vector<std::string>{"ia001.mdb", "ia002.mdb"}));
    const SurveyAreaList again = PopulateSSAList(folder.path(), "ia002.mdb");
    ASSERT_TRUE(again.selected);
    EXPECT_EQ(again.files[*again.selected], "ia002.mdb");

    EXPECT_FALSE(PopulateSSAList(folder.path(), "IA002.mdb").selected);
    EXPECT_FALSE(PopulateSSAList(folder.path(), "").selected);
}

TEST(SurveyAreaList, MissingFolderListsTheFallbackAndAnEmptyFolderListsNothing)
{
    test::TempFolder folder;
    std::filesystem::create_directory(folder / "home");
    touch(folder / "home" / "home.mdb");
    ::setenv("HOME", (folder / "home").c_str(), 1);

    const SurveyAreaList missing = PopulateSSAList(folder / "no-such-folder", "home.mdb");
    EXPECT_EQ(missing.folder, folder / "home");
    EXPECT_EQ(missing.files, std::vector<std::string>{"home.mdb"});
    EXPECT_EQ(missing.selected, 0u);

    std::filesystem::create_directory(folder / "empty");
    EXPECT_TRUE(PopulateSSAList(folder / "empty", "home.mdb").files.empty());
}

} // namespace
} // namespace qln::viewer
