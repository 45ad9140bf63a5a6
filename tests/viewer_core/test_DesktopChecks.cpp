// The open-file dialog for a soils database and short file names, through the dialog seam
// and a folder of this test's own.

#include "../support/TempFolder.h"
#include "quillon/desktop/FileDialog.h"
#include "quillon/viewer/DesktopChecks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace qln::viewer {
namespace {

const fs::path kSample = fs::path(QUILLON_BUILD_SHARE) / "sample" / "sample.sqlite";

TEST(DesktopChecks, AccessFileChoiceSplitsFolderAndNameAndCancelKeepsThem)
{
    if (!fs::exists(kSample)) GTEST_SKIP() << "no built sample survey at " << kSample;
    test::TempFolder temp;
    fs::create_directories(temp / "data");
    std::ofstream(temp / "data" / "soils.mdb") << "x";
    desktop::FileDialogSeam dialogs;
    dialogs.choose(temp / "data" / "soils.mdb");
    dialogs.cancel();
    std::string folder = "before", file = "before";
    ASSERT_TRUE(AccessFileSelect(temp.path().string(), folder, file));
    EXPECT_EQ(folder, (temp / "data").string() + "/");
    EXPECT_EQ(file, "soils.mdb");
    EXPECT_FALSE(AccessFileSelect(temp.path().string(), folder, file));
    EXPECT_EQ(file, "soils.mdb");
    const auto asked = dialogs.requests();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].filters.at(0).description, "Soils database (Access or SQLite) (*)");
    EXPECT_TRUE(asked[0].fileMustExist);
    // The dialog offers files by content: a text file named .mdb is not offered.
    ASSERT_TRUE(asked[0].offers);
    EXPECT_FALSE(asked[0].offers(temp / "data" / "soils.mdb"));
    EXPECT_TRUE(asked[0].offers(kSample));
}

TEST(DesktopChecks, ShortNameOfMissingFileIsMinusOneAndLeavesTheOutputs)
{
    test::TempFolder temp;
    fs::create_directories(temp / "help");
    std::ofstream(temp / "help" / "index.html") << "<html></html>";
    std::string path = "kept", name = "kept";
    EXPECT_EQ(GetShortFilename(temp.path().string() + "/a long folder/no such file.dbf", path, name), -1);
    EXPECT_EQ(path, "kept");
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(GetShortFilename(temp.path().string() + "/help/index.html", path, name), 1);
    EXPECT_EQ(name, "index.html");
}

} // namespace
} // namespace qln::viewer
