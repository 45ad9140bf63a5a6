#include "AccessCopy.h"
#include "AccessValues.h"
#include "ChildProcess.h"
#include "Fixtures.h"
#include "quillon/Error.h"
#include "quillon/ado/AccessImport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace fs = std::filesystem;
using qln::ado::FileKind;

namespace {

const fs::path kFixtures = qln::test::sharedFixtures() / "access";

#define REQUIRE_ACCESS_FIXTURES() QUILLON_REQUIRE_FIXTURE(kFixtures / "nwind.mdb")

// A fresh folder for one test, with the cache pointed into it.
class AccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quillon-access-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directories(cache());
        ::setenv("XDG_CACHE_HOME", cache().c_str(), 1);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    const fs::path& root() const { return m_root; }
    fs::path cache() const { return m_root / "cache"; }
    fs::path mirrorFolder() const { return cache() / "quillon" / "access-cache"; }

    // A private copy of a fixture in its own folder, so that writes next to it would show.
    fs::path copyFixture(const std::string& name)
    {
        const fs::path folder = m_root / "source";
        fs::create_directories(folder);
        fs::copy_file(kFixtures / name, folder / name);
        fs::permissions(folder / name, fs::perms::owner_read | fs::perms::owner_write);
        return folder / name;
    }

    static std::set<std::string> listing(const fs::path& folder)
    {
        std::set<std::string> names;
        if (fs::exists(folder))
            for (const auto& entry : fs::directory_iterator(folder))
                names.insert(entry.path().filename().string());
        return names;
    }

private:
    fs::path m_root;
};

void writeFile(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Read-only queries on an imported file.
class Mirror {
public:
    explicit Mirror(const fs::path& file)
    {
        sqlite3* raw = nullptr;
        EXPECT_EQ(sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK) << file;
        m_db.reset(raw);
    }

    // The first column of the first row; nothing for Null or no row.
    std::optional<std::string> text(const std::string& sql) const
    {
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(m_db.get(), sql.c_str(), -1, &stmt, nullptr), SQLITE_OK)
            << sql << ": " << sqlite3_errmsg(m_db.get());
        std::optional<std::string> result;
        if (stmt && sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL)
            result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
        return result;
    }
    long long integer(const std::string& sql) const { return std::stoll(text(sql).value_or("-999999")); }

    std::string declaredType(const std::string& table, const std::string& column) const
    {
        return text("SELECT type FROM pragma_table_info('" + table + "') WHERE name = '" + column + "'")
            .value_or("<no column>");
    }

private:
    struct Closer {
        void operator()(sqlite3* db) const { sqlite3_close(db); }
    };
    std::unique_ptr<sqlite3, Closer> m_db;
};

template <typename Call>
std::string engineErrorOf(Call call)
{
    try {
        call();
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), qln::kProviderError);
        return error.description();
    }
    ADD_FAILURE() << "no EngineError";
    return {};
}

} // namespace

TEST(AccessValues, DatesFollowTheStoredDayAndTimeOfDay)
{
    using qln::ado::detail::accessDateText;
    EXPECT_EQ(accessDateText(0.0), "1899-12-30 00:00:00");
    EXPECT_EQ(accessDateText(36526.75), "2000-01-01 18:00:00");
    // Before the epoch the day counts back while the fraction still runs forward.
    EXPECT_EQ(accessDateText(-1.25), "1899-12-29 06:00:00");
    EXPECT_EQ(accessDateText(-728.0), "1898-01-01 00:00:00");
    EXPECT_EQ(accessDateText(-657434.0), "0100-01-01 00:00:00");
    EXPECT_EQ(accessDateText(2958465.0 + 86399.0 / 86400.0), "9999-12-31 23:59:59");
    EXPECT_EQ(accessDateText(1.0 - 1e-9), "1899-12-31 00:00:00");   // rounds into the next day
    EXPECT_EQ(accessDateText(2958466.0), std::nullopt);
    EXPECT_EQ(accessDateText(-657435.0), std::nullopt);
    EXPECT_EQ(accessDateText(std::nan("")), std::nullopt);
    EXPECT_EQ(accessDateText(1e300), std::nullopt);
}

TEST(AccessValues, DecimalTextsAreReadWhole)
{
    using qln::ado::detail::decimalValue;
    EXPECT_EQ(decimalValue("12.3400"), 12.34);
    EXPECT_EQ(decimalValue("-5"), -5.0);
    EXPECT_EQ(decimalValue("+1E+3"), 1000.0);
    EXPECT_EQ(decimalValue(""), std::nullopt);
    EXPECT_EQ(decimalValue("1,5"), std::nullopt);
    EXPECT_EQ(decimalValue("12abc"), std::nullopt);
}

TEST_F(AccessTest, DetectFileKindJudgesTheHeader)
{
    const fs::path sqlite = root() / "looks.mdb";   // the name must not matter
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(sqlite.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE t (a)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    EXPECT_EQ(qln::ado::detectFileKind(sqlite), FileKind::SQLite);
    writeFile(root() / "notes.sqlite", "Standard text, nothing else\n");
    EXPECT_EQ(qln::ado::detectFileKind(root() / "notes.sqlite"), FileKind::Unknown);
    writeFile(root() / "empty.mdb", "");
    EXPECT_EQ(qln::ado::detectFileKind(root() / "empty.mdb"), FileKind::Unknown);
    writeFile(root() / "short.mdb", std::string("\0\1\0\0Standard Jet", 16));
    EXPECT_EQ(qln::ado::detectFileKind(root() / "short.mdb"), FileKind::Unknown);
    writeFile(root() / "short.sqlite", "SQLite format 3");
    EXPECT_EQ(qln::ado::detectFileKind(root() / "short.sqlite"), FileKind::Unknown);
}

TEST_F(AccessTest, DetectFileKindRecognisesJetAndAce)
{
    REQUIRE_ACCESS_FIXTURES();
    for (const char* name : {"nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb"})
        EXPECT_EQ(qln::ado::detectFileKind(kFixtures / name), FileKind::Access) << name;
}

TEST_F(AccessTest, DetectFileKindNamesAFileItCannotRead)
{
    const fs::path missing = root() / "missing.mdb";
    EXPECT_NE(engineErrorOf([&] { qln::ado::detectFileKind(missing); }).find(missing.string()), std::string::npos);
    EXPECT_NE(engineErrorOf([&] { qln::ado::detectFileKind(root()); }).find(root().string()), std::string::npos);
}

TEST_F(AccessTest, ImportCopiesEveryTableWithRowsTextAndNulls)
{
    REQUIRE_ACCESS_FIXTURES();
    const fs::path target = root() / "nwind.sqlite";
    qln::ado::importAccessFile(kFixtures / "nwind.mdb", target);
    const Mirror db(target);
    EXPECT_EQ(db.integer("SELECT count(*) FROM sqlite_master WHERE type = 'table'"), 9);
    EXPECT_EQ(db.integer("SELECT count(*) FROM Orders"), 830);
    EXPECT_EQ(db.integer("SELECT count(*) FROM [Order Details]"), 2155);
    EXPECT_EQ(db.integer("SELECT count(*) FROM \"Umsätze\""), 830);
    // CP1252 text of a Jet 3 file arrives as UTF-8.
    EXPECT_EQ(db.text("SELECT City FROM Customers WHERE CustomerID = 'ANATR'"), "México D.F.");
    EXPECT_EQ(db.integer("SELECT count(*) FROM Orders WHERE ShipAddress LIKE '%Bolívar%'"), 14);
    // Null stays Null, and is no empty text.
    EXPECT_EQ(db.text("SELECT Region FROM Customers WHERE CustomerID = 'ALFKI'"), std::nullopt);
    EXPECT_EQ(db.integer("SELECT count(*) FROM Orders WHERE ShippedDate IS NULL"), 21);
    EXPECT_EQ(db.integer("SELECT count(*) FROM Orders WHERE ShipRegion = ''"), 0);
    EXPECT_EQ(db.text("SELECT ReportsTo FROM Employees WHERE LastName = 'Fuller'"), std::nullopt);
}

TEST_F(AccessTest, ImportDeclaresTypesTheRecordSetsMapBack)
{
    REQUIRE_ACCESS_FIXTURES();
    const fs::path target = root() / "nwind.sqlite";
    qln::ado::importAccessFile(kFixtures / "nwind.mdb", target);
    const Mirror db(target);
    EXPECT_EQ(db.declaredType("Orders", "CustomerID"), "VARCHAR(5)");
    EXPECT_EQ(db.declaredType("Orders", "OrderDate"), "DATETIME");
    EXPECT_EQ(db.declaredType("Orders", "Freight"), "DOUBLE");   // currency
    EXPECT_EQ(db.declaredType("Orders", "OrderID"), "INTEGER");
    EXPECT_EQ(db.declaredType("Order Details", "Quantity"), "SMALLINT");
    EXPECT_EQ(db.declaredType("Order Details", "Discount"), "SINGLE");
    EXPECT_EQ(db.declaredType("Products", "Discontinued"), "BOOLEAN");
    EXPECT_EQ(db.declaredType("Employees", "Notes"), "LONGTEXT");
    EXPECT_EQ(db.declaredType("Employees", "Photo"), "BLOB");

    EXPECT_EQ(db.text("SELECT OrderDate FROM Orders WHERE OrderID = 10330"), "1994-11-16 00:00:00");
    EXPECT_EQ(db.text("SELECT Freight FROM Orders WHERE OrderID = 10330"), "12.75");
    // Single-precision values come without float noise.
    EXPECT_EQ(db.integer("SELECT count(*) FROM [Order Details] WHERE Discount = 0.15"),
              db.integer("SELECT count(*) FROM [Order Details] WHERE Discount > 0.149 AND Discount < 0.151"));
    EXPECT_GT(db.integer("SELECT count(*) FROM [Order Details] WHERE Discount = 0.15"), 0);
    EXPECT_EQ(db.integer("SELECT count(*) FROM Products WHERE Discontinued NOT IN (0, 1)"), 0);
    EXPECT_GT(db.integer("SELECT count(*) FROM Products WHERE Discontinued = 1"), 0);
    // Memo texts longer than a text column, and the whole of each picture.
    EXPECT_GT(db.integer("SELECT max(length(Notes)) FROM Employees"), 255);
    EXPECT_EQ(db.integer("SELECT count(*) FROM Categories WHERE length(Picture) > 10000"), 8);
}

TEST_F(AccessTest, ImportKeepsDatesBefore1900AndNear9999)
{
    REQUIRE_ACCESS_FIXTURES();
    const fs::path target = root() / "dates.sqlite";
    qln::ado::importAccessFile(kFixtures / "DateTestDatabase.mdb", target);
    const Mirror db(target);
    EXPECT_EQ(db.text("SELECT DateTimeCol FROM DateTest WHERE IDCol = 1"), "2021-12-02 00:00:00");
    EXPECT_EQ(db.text("SELECT DateTimeCol FROM DateTest WHERE IDCol = 2"), "9999-01-01 00:00:00");
    EXPECT_EQ(db.text("SELECT DateTimeCol FROM DateTest WHERE IDCol = 3"), "1898-01-01 00:00:00");
    EXPECT_EQ(db.text("SELECT DateCol FROM DateTest WHERE IDCol = 3"), "1899-01-01 00:00:00");
    EXPECT_EQ(db.text("SELECT TimeCol FROM DateTest WHERE IDCol = 3"), "1900-01-01 00:00:00");
    EXPECT_EQ(db.text("SELECT DateTimeCol FROM DateTest WHERE IDCol = 4"), "0632-01-01 00:00:00");
    EXPECT_EQ(db.text("SELECT ShortTextCol FROM DateTest WHERE IDCol = 2"), "Year 1999");
    EXPECT_EQ(db.declaredType("DateTest", "ShortTextCol"), "VARCHAR(255)");   // Jet 4 sizes are bytes
}

TEST_F(AccessTest, ImportReadsAceFiles)
{
    REQUIRE_ACCESS_FIXTURES();
    const fs::path target = root() / "ace.sqlite";
    qln::ado::importAccessFile(kFixtures / "ASampleDatabase.accdb", target);
    const Mirror db(target);
    EXPECT_EQ(db.integer("SELECT count(*) FROM [Asset Items]"), 65);
    EXPECT_EQ(db.text("SELECT Cost FROM [Asset Items] WHERE [Asset No] = '30050'"), "1995.5");
    EXPECT_EQ(db.text("SELECT Acquired FROM [Asset Items] WHERE [Asset No] = '30050'"), "1997-09-02 00:00:00");
}

TEST_F(AccessTest, ImportOfADamagedFileLeavesNothingBehind)
{
    REQUIRE_ACCESS_FIXTURES();
    const fs::path source = root() / "source";
    fs::create_directories(source);
    const fs::path cut = source / "cut.mdb";
    writeFile(cut, readFile(kFixtures / "nwind.mdb").substr(0, 8192));
    const fs::path output = root() / "out";
    fs::create_directories(output);
    const fs::path target = output / "cut.sqlite";
    writeFile(target, "the previous mirror");

    EXPECT_NE(engineErrorOf([&] { qln::ado::importAccessFile(cut, target); }).find(cut.string()), std::string::npos);
    EXPECT_EQ(listing(output), std::set<std::string>{"cut.sqlite"});
    EXPECT_EQ(readFile(target), "the previous mirror");
    EXPECT_EQ(listing(source), std::set<std::string>{"cut.mdb"});

    EXPECT_NE(engineErrorOf([&] { qln::ado::mirrorAccessFile(cut); }).find(cut.string()), std::string::npos);
    EXPECT_TRUE(listing(mirrorFolder()).empty());
}

TEST_F(AccessTest, ImportRefusesWhatIsNoAccessFile)
{
    const fs::path text = root() / "notes.mdb";
    writeFile(text, "just some text that is long enough to have a header\n");
    EXPECT_NE(engineErrorOf([&] { qln::ado::importAccessFile(text, root() / "x.sqlite"); }).find(text.string()),
              std::string::npos);
    EXPECT_FALSE(fs::exists(root() / "x.sqlite"));
}

TEST_F(AccessTest, ImportNeverOverwritesItsOwnSource)
{
    REQUIRE_ACCESS_FIXTURES();
    const fs::path copy = copyFixture("DateTestDatabase.mdb");
    const std::string before = readFile(copy);
    EXPECT_FALSE(engineErrorOf([&] { qln::ado::importAccessFile(copy, copy); }).empty());
    EXPECT_EQ(readFile(copy), before);
}

TEST_F(AccessTest, MirrorIsReusedUntilTheSourceChanges)
{
    REQUIRE_ACCESS_FIXTURES();
    const fs::path source = copyFixture("nwind.mdb");
    const fs::path first = qln::ado::mirrorAccessFile(source);
    EXPECT_EQ(first.parent_path(), mirrorFolder());
    ASSERT_TRUE(fs::exists(first));
    EXPECT_EQ(Mirror(first).integer("SELECT count(*) FROM Orders"), 830);

    // A second import would give the mirror a new modification time.
    const auto stamped = fs::last_write_time(first) - std::chrono::hours(24);
    fs::last_write_time(first, stamped);
    EXPECT_EQ(qln::ado::mirrorAccessFile(source), first);
    EXPECT_EQ(fs::last_write_time(first), stamped);

    fs::last_write_time(source, fs::last_write_time(source) + std::chrono::seconds(5));
    const fs::path second = qln::ado::mirrorAccessFile(source);
    EXPECT_NE(second, first);
    EXPECT_TRUE(fs::exists(second));
    EXPECT_FALSE(fs::exists(first));   // the stale mirror of the same path is gone
    EXPECT_EQ(listing(mirrorFolder()).size(), 1u);
    EXPECT_EQ(listing(source.parent_path()), std::set<std::string>{"nwind.mdb"});
}

TEST_F(AccessTest, MirrorsOfDifferentFilesLiveSideBySide)
{
    REQUIRE_ACCESS_FIXTURES();
    const fs::path a = qln::ado::mirrorAccessFile(copyFixture("nwind.mdb"));
    const fs::path b = qln::ado::mirrorAccessFile(copyFixture("DateTestDatabase.mdb"));
    EXPECT_NE(a, b);
    EXPECT_TRUE(fs::exists(a));
    EXPECT_TRUE(fs::exists(b));
}

TEST_F(AccessTest, MirrorFallsBackToTheHomeCache)
{
    REQUIRE_ACCESS_FIXTURES();
    const fs::path home = root() / "home";
    fs::create_directories(home);
    const char* realHome = std::getenv("HOME");
    const std::string savedHome = realHome ? realHome : "";
    ::unsetenv("XDG_CACHE_HOME");
    ::setenv("HOME", home.c_str(), 1);
    const fs::path mirror = qln::ado::mirrorAccessFile(copyFixture("DateTestDatabase.mdb"));
    ::setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(mirror.parent_path(), home / ".cache" / "quillon" / "access-cache");
}

namespace {

using qln::ado::detail::ChildLimits;
using qln::ado::detail::ChildOutcome;
using qln::ado::detail::runChild;

ChildOutcome runShell(const std::string& script, ChildLimits limits = {})
{
    return runChild("/bin/sh", {"-c", script}, limits);
}

void expectDamaged(const std::string& description, const fs::path& file)
{
    EXPECT_EQ(description.rfind("The Access file '" + file.string() + "' is damaged or not an Access database (", 0),
              0u)
        << description;
    EXPECT_EQ(description.back(), ')') << description;
}

} // namespace

TEST(ChildProcess, ReportsHowTheChildEndedAndKeepsItsOutputAway)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const ChildOutcome talker = runShell("echo out; echo err >&2; printf 'the reason' >&3; exit 3");
    const ChildOutcome crash = runShell("kill -SEGV $$");
    const ChildOutcome missing = runChild(fs::path("/nonexistent") / "program", {}, {});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    EXPECT_EQ(talker.ending, ChildOutcome::Ending::Exited);
    EXPECT_EQ(talker.exitCode, 3);
    EXPECT_EQ(talker.report, "the reason");
    EXPECT_EQ(crash.ending, ChildOutcome::Ending::Signalled);
    EXPECT_EQ(crash.signal, SIGSEGV);
    EXPECT_NE(qln::ado::detail::describeEnding(crash, {}).find("signal 11"), std::string::npos);
    EXPECT_EQ(missing.exitCode, qln::ado::detail::kChildCannotStart);
}

TEST(ChildProcess, AChildThatOutlivesItsClockIsKilled)
{
    ChildLimits limits;
    limits.wallTime = std::chrono::milliseconds(300);
    const auto start = std::chrono::steady_clock::now();
    // Waiting uses no processor time: only the clock ends it.
    const ChildOutcome outcome = runShell("sleep 30 & sleep 30", limits);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(outcome.ending, ChildOutcome::Ending::TimedOut);
}

TEST(ChildProcess, AChildOverItsProcessorTimeIsStopped)
{
    ChildLimits limits;
    limits.cpuTime = std::chrono::seconds(1);
    const ChildOutcome outcome = runShell("while :; do :; done", limits);
    EXPECT_EQ(outcome.ending, ChildOutcome::Ending::Signalled);
    EXPECT_EQ(outcome.signal, SIGXCPU);
    EXPECT_NE(qln::ado::detail::describeEnding(outcome, limits).find("1 s of processor time"), std::string::npos);
}

TEST(ChildProcess, MemoryBeyondTheLimitIsRefused)
{
    if (!fs::exists("/usr/bin/python3"))
        GTEST_SKIP() << "/usr/bin/python3 not found; skipping";
    // A mapping that is never touched: the limit, not the machine's memory, decides.
    const std::string grab = "import mmap, sys\ntry:\n    mmap.mmap(-1, 1 << 30)\nexcept OSError:\n    sys.exit(7)\n";
    ChildLimits limits;
    limits.addressSpace = 512ull << 20;
    EXPECT_EQ(runChild("/usr/bin/python3", {"-c", grab}, limits).exitCode, 7);
    limits.addressSpace = 0;
    EXPECT_EQ(runChild("/usr/bin/python3", {"-c", grab}, limits).exitCode, 0);
}

TEST_F(AccessTest, CutAndCorruptedFilesEndWithTheDamagedMessageAndLeaveNothing)
{
    REQUIRE_ACCESS_FIXTURES();
    const std::string whole = readFile(kFixtures / "nwind.mdb");
    std::string scattered = whole;
    for (std::size_t at = 2048; at < scattered.size(); at += 97)
        scattered[at] = static_cast<char>(scattered[at] ^ 0x5A);
    std::string overwritten = whole;
    overwritten.replace(2048, 64 * 1024, 64 * 1024, '\xFF');
    const std::pair<const char*, std::string> files[] = {
        {"cut-at-page.mdb", whole.substr(0, 1024 * 1024)},   // passes the page-size check
        {"cut-short.mdb", whole.substr(0, 1000)},
        {"scattered.mdb", scattered},
        {"overwritten.mdb", overwritten},
    };
    const fs::path source = root() / "source";
    const fs::path output = root() / "out";
    fs::create_directories(source);
    fs::create_directories(output);
    for (const auto& [name, bytes] : files) {
        const fs::path file = source / name;
        writeFile(file, bytes);
        const auto start = std::chrono::steady_clock::now();
        expectDamaged(engineErrorOf([&] { qln::ado::mirrorAccessFile(file); }), file);
        expectDamaged(engineErrorOf([&] { qln::ado::importAccessFile(file, output / "mirror.sqlite"); }), file);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << name;
    }
    EXPECT_TRUE(listing(mirrorFolder()).empty());
    EXPECT_TRUE(listing(output).empty());
    EXPECT_EQ(listing(source).size(), 4u);
}

TEST_F(AccessTest, AReaderOverItsTimeIsStoppedAndLeavesNothing)
{
    REQUIRE_ACCESS_FIXTURES();
    ChildLimits limits;
    limits.wallTime = std::chrono::milliseconds(1);
    const fs::path target = root() / "nwind.sqlite";
    const std::string description = engineErrorOf(
        [&] { qln::ado::detail::importAccessFile(kFixtures / "nwind.mdb", target, limits); });
    expectDamaged(description, kFixtures / "nwind.mdb");
    EXPECT_NE(description.find("took longer than"), std::string::npos) << description;
    EXPECT_EQ(listing(root()), std::set<std::string>{"cache"});
}

TEST_F(AccessTest, ADamagedOrIncompleteMirrorIsBuiltAgain)
{
    REQUIRE_ACCESS_FIXTURES();
    const fs::path source = copyFixture("nwind.mdb");
    const fs::path mirror = qln::ado::mirrorAccessFile(source);
    const std::string good = readFile(mirror);
    ASSERT_TRUE(qln::ado::detail::isCompleteMirror(mirror));

    std::string garbled = good;
    garbled.replace(good.size() / 2, 16 * 1024, 16 * 1024, '\x3C');
    std::string unfinished = good;
    unfinished.replace(60, 4, std::string(4, '\0'));   // the user_version of the header
    const std::pair<const char*, std::string> damages[] = {
        {"cut in half", good.substr(0, good.size() / 2)},
        {"garbled pages", garbled},
        {"never marked complete", unfinished},
        {"empty", ""},
    };
    for (const auto& [what, bytes] : damages) {
        writeFile(mirror, bytes);
        EXPECT_FALSE(qln::ado::detail::isCompleteMirror(mirror)) << what;
        EXPECT_EQ(qln::ado::mirrorAccessFile(source), mirror) << what;
        EXPECT_TRUE(qln::ado::detail::isCompleteMirror(mirror)) << what;
        EXPECT_EQ(Mirror(mirror).integer("SELECT count(*) FROM Orders"), 830) << what;
    }
    EXPECT_EQ(listing(mirrorFolder()).size(), 1u);
}
