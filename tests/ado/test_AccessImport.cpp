#include "AccessValues.h"
#include "quillon/Error.h"
#include "quillon/ado/AccessImport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
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

const fs::path kFixtures = fs::path(QUILLON_SHARED_DIR) / "fixtures" / "access";

#define REQUIRE_ACCESS_FIXTURES()                                                                         \
    if (!fs::exists(kFixtures / "nwind.mdb"))                                                             \
    GTEST_SKIP() << "Access fixtures not found in " << kFixtures.string() << "; skipping"

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

TEST(AccessValues, SinglesLoseTheirBinaryNoise)
{
    using qln::ado::detail::singleToDouble;
    EXPECT_EQ(singleToDouble(0.15f), 0.15);
    EXPECT_EQ(singleToDouble(-2.7f), -2.7);
    EXPECT_EQ(singleToDouble(16777216.0f), 16777216.0);
    EXPECT_EQ(singleToDouble(0.0f), 0.0);
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
