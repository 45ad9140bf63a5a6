#include "quillon/viewer/ResultsDatabase.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace qln::viewer {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t entries(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(OverwriteOutputDB, ReplacesTheWorkingCopyAndLeavesNoTemporaryFile)
{
    test::TempFolder folder;
    write(folder / "pristine.sqlite", "pristine");
    write(folder / "results.sqlite", "working with a rating column");
    EXPECT_EQ(OverwriteOutputDB(folder.path(), "pristine.sqlite", "results.sqlite"), 1);
    EXPECT_EQ(read(folder / "results.sqlite"), "pristine");
    EXPECT_EQ(read(folder / "pristine.sqlite"), "pristine");
    EXPECT_EQ(entries(folder.path()), 2u);

    // A working copy that does not exist yet is created.
    fs::remove(folder / "results.sqlite");
    EXPECT_EQ(OverwriteOutputDB(folder.path(), "pristine.sqlite", "results.sqlite"), 1);
    EXPECT_EQ(read(folder / "results.sqlite"), "pristine");
}

TEST(OverwriteOutputDB, MissingPristineCopiesNothing)
{
    test::TempFolder folder;
    write(folder / "results.sqlite", "working");
    EXPECT_EQ(OverwriteOutputDB(folder.path(), "pristine.sqlite", "results.sqlite"), -1);
    EXPECT_EQ(read(folder / "results.sqlite"), "working");
    fs::create_directory(folder / "adir");
    EXPECT_EQ(OverwriteOutputDB(folder.path(), "adir", "results.sqlite"), -1);
}

TEST(OverwriteOutputDB, FailedReplaceNamesTheFileAndLeavesNothingBehind)
{
    // A working "file" that is a folder with content cannot be replaced, not even by root.
    test::TempFolder folder;
    write(folder / "pristine.sqlite", "pristine");
    fs::create_directory(folder / "results.sqlite");
    write(folder / "results.sqlite" / "keep", "kept");
    try {
        OverwriteOutputDB(folder.path(), "pristine.sqlite", "results.sqlite");
        ADD_FAILURE() << "no failure reported";
    } catch (const CopyFailed& failure) {
        EXPECT_NE(std::string(failure.what()).find("results.sqlite"), std::string::npos) << failure.what();
    }
    EXPECT_EQ(read(folder / "results.sqlite" / "keep"), "kept");
    EXPECT_EQ(entries(folder.path()), 2u);
}

} // namespace
} // namespace qln::viewer
