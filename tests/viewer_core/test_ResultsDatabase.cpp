#include "quillon/viewer/ResultsDatabase.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
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

// One number from an SQLite file (a count), or -1 when the query fails.
long long queryNumber(const fs::path& file, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    long long value = -1;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

void exec(sqlite3* db, const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        ::_exit(3);
}

TEST(OverwriteOutputDB, AJournalOfASessionKilledInItsStoreIsNeverPlayedIntoTheCopy)
{
    test::TempFolder folder;
    const fs::path pristine = folder / "pristine.sqlite", working = folder / "results.sqlite";
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(pristine.c_str(), &db), SQLITE_OK);
        exec(db, "CREATE TABLE MU_Data (mukey TEXT, musym TEXT)");
        sqlite3_close(db);
    }
    // The last session: its map units stored, and a rating column.
    fs::copy_file(pristine, working);
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(working.c_str(), &db), SQLITE_OK);
        exec(db, "BEGIN; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 295) "
                 "INSERT INTO MU_Data SELECT 'k' || i, 'S' || i FROM n; "
                 "ALTER TABLE MU_Data ADD COLUMN drclass TEXT; COMMIT");
        sqlite3_close(db);
    }
    // Its next store is killed part-way through the commit: the pages written out of a cache
    // too small to hold them, the journal with the old pages still beside the file.
    const pid_t child = ::fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        if (sqlite3_open(working.c_str(), &db) != SQLITE_OK)
            ::_exit(2);
        exec(db, "PRAGMA cache_size = 2; BEGIN; UPDATE MU_Data SET drclass = hex(randomblob(200))");
        ::raise(SIGKILL);
        ::_exit(4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended with " << WEXITSTATUS(status);
    ASSERT_TRUE(fs::exists(working.string() + "-journal")) << "no journal was left to test with";

    // The next start.
    ASSERT_EQ(OverwriteOutputDB(folder.path(), "pristine.sqlite", "results.sqlite"), 1);
    EXPECT_FALSE(fs::exists(working.string() + "-journal"));
    EXPECT_EQ(queryNumber(working, "SELECT count(*) FROM MU_Data"), 0) << "rows of the killed session";
    EXPECT_EQ(queryNumber(working, "SELECT count(*) FROM pragma_table_info('MU_Data')"), 2) << "its columns";
    EXPECT_EQ(queryNumber(working, "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check <> 'ok'"), 0);
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
