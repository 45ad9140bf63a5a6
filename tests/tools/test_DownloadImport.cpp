// Survey downloads read into SQLite: the real excerpt arrives whole and typed, folder, zip
// and a split-and-merged copy give the same database, bad input is named and leaves
// nothing, and the level queries of a run find their rows through the key indexes.
#include "DownloadImport.h"
#include "Fixtures.h"
#include "PipeRecords.h"
#include "SurveyKeys.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <shapefil.h>
#include <sqlite3.h>
#include <zip.h>

#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using qln::download::DownloadError;
using qln::download::importDownloads;

namespace {

const fs::path kExcerpt = qln::test::sharedFixtures() / "survey-download" / "AZ649-excerpt";

#define REQUIRE_EXCERPT() QUILLON_REQUIRE_FIXTURE(kExcerpt / "tabular" / "mstab.txt")

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

// The records of a table file: each ends with a CRLF outside quotes (a doubled quote
// inside a text toggles twice).
std::vector<std::string> records(const std::string& text)
{
    std::vector<std::string> out;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        quoted = quoted != (text[i] == '"');
        if (!quoted && text[i] == '\r' && text[i + 1] == '\n') {
            out.push_back(text.substr(start, i - start));
            start = i + 2;
        }
    }
    return out;
}

// A survey's map-unit layer: one unit square per key, side by side from x = first, with the
// columns a download's layer has.
void writeLayer(const fs::path& folder, const std::string& area, const std::vector<std::string>& keys, double first,
                const std::string& prj)
{
    fs::create_directories(folder);
    const fs::path base = folder / ("soilmu_a_" + area);
    SHPHandle shapes = SHPCreate(base.c_str(), SHPT_POLYGON);
    DBFHandle records = DBFCreateEx((base.string() + ".dbf").c_str(), "LDID/87");
    DBFAddField(records, "AREASYMBOL", FTString, 20, 0);
    DBFAddField(records, "SPATIALVER", FTInteger, 10, 0);
    DBFAddField(records, "MUSYM", FTString, 6, 0);
    DBFAddField(records, "MUKEY", FTString, 30, 0);
    for (int i = 0; i < static_cast<int>(keys.size()); ++i) {
        double x[] = {first + i, first + i, first + i + 1, first + i + 1, first + i}, y[] = {0, 1, 1, 0, 0};
        SHPObject* square = SHPCreateSimpleObject(SHPT_POLYGON, 5, x, y, nullptr);
        SHPWriteObject(shapes, -1, square);
        SHPDestroyObject(square);
        DBFWriteStringAttribute(records, i, 0, area.c_str());
        DBFWriteIntegerAttribute(records, i, 1, 3);
        if (i > 0)
            DBFWriteStringAttribute(records, i, 2, ("S" + std::to_string(i)).c_str());
        DBFWriteStringAttribute(records, i, 3, keys[i].c_str());
    }
    SHPClose(shapes);
    DBFClose(records);
    writeFile(base.string() + ".prj", prj);
}

struct Db {
    sqlite3* db = nullptr;
    explicit Db(const fs::path& file) { sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr); }
    ~Db() { sqlite3_close(db); }
    // Rows of a query, fields "|"-joined, Null as "<null>" and each value's type kept.
    std::vector<std::string> rows(const std::string& sql) const
    {
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql << sqlite3_errmsg(db);
        std::vector<std::string> out;
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                row += (i ? "|" : "") + (text ? std::to_string(sqlite3_column_type(stmt, i)) + ":" + text : "<null>");
            }
            out.push_back(row);
        }
        sqlite3_finalize(stmt);
        return out;
    }
    std::string value(const std::string& sql) const
    {
        const auto all = rows(sql);
        return all.empty() ? "" : all.front().substr(all.front().find(':') + 1);
    }
    // Every table's declaration and rows in a stable order, and the index declarations.
    std::string contents() const
    {
        std::string out;
        for (const auto& table : rows("SELECT name, sql FROM sqlite_master ORDER BY type, name")) {
            out += table + "\n";
            const std::string name = table.substr(2, table.find('|') - 2);
            if (table.find("CREATE TABLE") == std::string::npos)
                continue;
            auto all = rows("SELECT * FROM \"" + name + "\"");
            std::sort(all.begin(), all.end());
            for (const auto& row : all)
                out += row + "\n";
        }
        return out;
    }
};

class DownloadImport : public ::testing::Test {
protected:
    qln::test::TempFolder temp;
    std::vector<std::string> notes;

    // Copies the excerpt's tabular folder, letting edit change each file's bytes.
    fs::path copyExcerpt(const std::string& name,
                         const std::function<void(const std::string&, std::string&)>& edit = {})
    {
        const fs::path folder = temp / name / "tabular";
        fs::create_directories(folder);
        for (const auto& entry : fs::directory_iterator(kExcerpt / "tabular")) {
            const std::string original = readFile(entry.path());
            std::string bytes = original;
            if (edit)
                edit(entry.path().filename().string(), bytes);
            // Files left as they are are linked, not copied: the excerpt is five megabytes.
            if (bytes == original)
                fs::create_symlink(entry.path(), folder / entry.path().filename());
            else
                writeFile(folder / entry.path().filename(), bytes);
        }
        return temp / name;
    }

    void import(const std::vector<fs::path>& downloads, const fs::path& output)
    {
        qln::download::ImportReport report;
        report.note = [&](const std::string& note) { notes.push_back(note); };
        importDownloads(downloads, output, report);
    }
};

} // namespace

TEST_F(DownloadImport, TheExcerptArrivesWholeWithItsTypesKeysAndSortOrder)
{
    REQUIRE_EXCERPT();
    const fs::path output = temp / "az.sqlite";
    import({kExcerpt}, output);
    Db db(output);
    // Every file's every record is a row of its table (files named by the table list).
    for (const auto& entry : db.rows("SELECT tabphyname, iefilename FROM mdstattabs")) {
        const std::string table = entry.substr(2, entry.find('|') - 2);
        const std::string file = entry.substr(entry.find('|') + 3) + ".txt";
        const std::string count = db.value("SELECT count(*) FROM \"" + table + "\"");
        if (fs::exists(kExcerpt / "tabular" / file))
            EXPECT_EQ(count, std::to_string(records(readFile(kExcerpt / "tabular" / file)).size())) << table;
        else
            EXPECT_EQ(count, "0") << table;
    }
    // Nulls stay Null, texts keep quotes and line breaks, Booleans and dates as the mirror has them.
    EXPECT_EQ(db.value("SELECT count(*) FROM mapunit WHERE mustatus IS NULL"), "6");
    EXPECT_EQ(db.value("SELECT distgendate FROM distmd"), "2025-08-26 23:26:24");
    EXPECT_EQ(db.value("SELECT count(*) FROM component WHERE majcompflag NOT IN (0, 1)"), "0");
    EXPECT_EQ(db.value("SELECT typeof(muacres) || typeof(slope_r) FROM mapunit, component "
                       "WHERE mapunit.mukey = component.mukey LIMIT 1"),
              "integerreal");
    EXPECT_NE(db.value("SELECT count(*) FROM mdstattabcols WHERE coldesc LIKE '%\"\"%' OR coldesc LIKE '%\"%'"), "0");
    // Map units in the order people read their symbols: 6 before 11.
    EXPECT_EQ(db.rows("SELECT m.musym, s.lseq, s.museq FROM [SYSTEM - Mapunit Sort Specifications] s "
                      "JOIN mapunit m ON m.mukey = s.mukey ORDER BY s.lseq, s.museq"),
              (std::vector<std::string>{"3:6|1:1|1:1", "3:11|1:1|1:2", "3:16|1:1|1:3", "3:22|1:1|1:4",
                                        "3:30|1:1|1:5", "3:35|1:1|1:6"}));
    // The missing interpretation file is said, not an error.
    EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [](const auto& n) { return n.find("cinterp.txt") != n.npos; }));
}

TEST_F(DownloadImport, FolderZipAndASplitMergedGiveTheSameDatabase)
{
    REQUIRE_EXCERPT();
    import({kExcerpt / "tabular"}, temp / "folder.sqlite");
    const std::string expected = Db(temp / "folder.sqlite").contents();

    // The zip as downloaded: a folder named after the survey holding tabular/.
    const fs::path zipFile = temp / "wss_AZ649.zip";
    int error = 0;
    zip_t* archive = zip_open(zipFile.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& entry : fs::directory_iterator(kExcerpt / "tabular")) {
        zip_source_t* source = zip_source_file(archive, entry.path().c_str(), 0, -1);
        zip_file_add(archive, ("AZ649/tabular/" + entry.path().filename().string()).c_str(), source, 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
    import({zipFile}, temp / "zip.sqlite");
    EXPECT_EQ(Db(temp / "zip.sqlite").contents(), expected);

    // Two downloads, each with every metadata table and half of each data table's records.
    auto half = [](bool first) {
        return [first](const std::string& file, std::string& bytes) {
            if (file.rfind("ms", 0) == 0)
                return;
            const auto all = records(bytes);
            bytes.clear();
            for (std::size_t i = first ? 0 : all.size() / 2; i < (first ? all.size() / 2 : all.size()); ++i)
                bytes += all[i] + "\r\n";
        };
    };
    const fs::path one = copyExcerpt("one", half(true)), two = copyExcerpt("two", half(false));
    // The map-unit polygons of a survey go beside the database, the other layers do not.
    fs::create_directories(one / "spatial");
    for (const char* file : {"soilmu_a_one.shp", "soilmu_a_one.dbf", "soilmu_a_one.prj", "soilsa_a_one.shp"})
        writeFile(one / "spatial" / file, file);
    fs::create_directories(temp / "merged");
    import({one, two}, temp / "merged" / "merged.sqlite");
    EXPECT_EQ(Db(temp / "merged" / "merged.sqlite").contents(), expected);
    EXPECT_EQ(readFile(temp / "merged" / "soilmu_a_one.dbf"), "soilmu_a_one.dbf");
    EXPECT_TRUE(fs::exists(temp / "merged" / "soilmu_a_one.prj"));
    EXPECT_FALSE(fs::exists(temp / "merged" / "soilsa_a_one.shp"));

    // Layers of two surveys become one layer, the first survey's shapes first, values and
    // blanks as they were; layers in two coordinate systems are refused, naming both.
    const std::string wgs84 = "GEOGCS[\"GCS_WGS_1984\"]";
    writeLayer(one / "spatial", "one", {"53258", "53259"}, 0, wgs84);
    writeLayer(two / "spatial", "two", {"53300"}, 10, wgs84 + "\r\n");
    import({one, two}, temp / "merged" / "two.sqlite");
    EXPECT_FALSE(fs::exists(temp / "merged" / "soilmu_a_two.shp"));
    EXPECT_EQ(readFile(temp / "merged" / "soilmu_a_one_two.prj"), wgs84);
    {
        const std::string base = (temp / "merged" / "soilmu_a_one_two").string();
        SHPHandle shapes = SHPOpen(base.c_str(), "rb");
        DBFHandle records = DBFOpen((base + ".dbf").c_str(), "rb");
        ASSERT_TRUE(shapes && records);
        int count = 0, type = 0;
        SHPGetInfo(shapes, &count, &type, nullptr, nullptr);
        std::vector<std::string> rows;
        for (int i = 0; i < count; ++i) {
            SHPObject* shape = SHPReadObject(shapes, i);
            std::string row = std::to_string(static_cast<int>(shape->dfXMin));
            SHPDestroyObject(shape);
            // shapelib reads every value into one buffer: each is copied before the next.
            for (int field = 0; field < 4; ++field)
                row += " " + std::string(DBFIsAttributeNULL(records, i, field) ? "<null>"
                                                                              : DBFReadStringAttribute(records, i, field));
            rows.push_back(row);
        }
        EXPECT_EQ(type, SHPT_POLYGON);
        EXPECT_EQ(std::string(DBFGetCodePage(records)), "LDID/87");
        EXPECT_EQ(rows, (std::vector<std::string>{"0 one 3 <null> 53258", "1 one 3 S1 53259", "10 two 3 <null> 53300"}));
        SHPClose(shapes);
        DBFClose(records);
    }
    writeFile(two / "spatial" / "soilmu_a_two.prj", "PROJCS[\"NAD_1983_UTM_Zone_12N\"]");
    try {
        import({one, two}, temp / "merged" / "systems.sqlite");
        FAIL() << "no error";
    } catch (const DownloadError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("coordinate systems"), std::string::npos) << message;
        EXPECT_NE(message.find(one.string()), std::string::npos) << message;
        EXPECT_NE(message.find(two.string()), std::string::npos) << message;
    }
    EXPECT_FALSE(fs::exists(temp / "merged" / "systems.sqlite"));

    // A key met in both with different rows names both surveys and the key; nothing is written.
    const fs::path other = copyExcerpt("other", [](const std::string& file, std::string& bytes) {
        if (file == "mapunit.txt")
            bytes = bytes.substr(0, bytes.find("\r\n")).replace(1, 2, "99") + "\r\n";
        else if (file.rfind("ms", 0) != 0)
            bytes.clear();
    });
    try {
        import({one, two, other}, temp / "clash.sqlite");
        FAIL() << "no error";
    } catch (const DownloadError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("mukey '53258'"), std::string::npos) << message;
        EXPECT_NE(message.find(one.string()), std::string::npos) << message;
        EXPECT_NE(message.find(other.string()), std::string::npos) << message;
    }
    EXPECT_FALSE(fs::exists(temp / "clash.sqlite"));
}

TEST_F(DownloadImport, BadInputIsNamedByFileLineAndFieldAndLeavesNothing)
{
    REQUIRE_EXCERPT();
    struct Case {
        std::string file;
        std::function<void(std::string&)> edit;
        std::string message;
    };
    auto replaceFirst = [](std::string from, std::string to) {
        return [from, to](std::string& bytes) { bytes.replace(bytes.find(from), from.size(), to); };
    };
    const std::vector<Case> cases = {
        {"mstab.txt", nullptr, "no mstab.txt"},
        {"mstab.txt", replaceFirst("|\"mutext\"\r\n", "|\"mutextx\"\r\n"),
         "tabular/mutext.txt: the table list (mstab.txt) names no table"},
        {"mapunit.txt", replaceFirst("|\"10263\"|", "|"), "mapunit.txt, line 1: 23 fields where table mapunit has 24"},
        {"mapunit.txt", replaceFirst("|\"10263\"|", "|\"10263\"||"), "mapunit.txt, line 1: 25 fields"},
        {"comp.txt", [](std::string& b) { b += "\"open"; }, "comp.txt, line 14: a quote is left open"},
        {"mapunit.txt", replaceFirst("116658", "11x"), "mapunit.txt, line 1, field muacres: '11x' is not a whole number"},
        {"distmd.txt", replaceFirst("08/26/2025", "13/26/2025"), "distmd.txt, line 1, field distgendate: '13/26/2025"},
        {"chaashto.txt", replaceFirst("|No |", "|Maybe|"), "field rvindicator: 'Maybe' is neither Yes nor No"},
    };
    for (const Case& c : cases) {
        const fs::path download = copyExcerpt("bad", [&](const std::string& file, std::string& bytes) {
            if (file == c.file && c.edit)
                c.edit(bytes);
        });
        if (!c.edit)
            fs::remove(download / "tabular" / c.file);
        const fs::path output = temp / "out" / "bad.sqlite";
        fs::create_directories(output.parent_path());
        try {
            import({download}, output);
            ADD_FAILURE() << c.message << ": no error";
        } catch (const DownloadError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_TRUE(fs::is_empty(output.parent_path())) << c.message;
        fs::remove_all(temp / "bad");
    }

    // A zip cut short is named as such.
    writeFile(temp / "cut.zip", std::string("PK\x03\x04", 4) + std::string(100, 'x'));
    try {
        import({temp / "cut.zip"}, temp / "out" / "cut.sqlite");
        ADD_FAILURE() << "cut zip: no error";
    } catch (const DownloadError& e) {
        EXPECT_NE(std::string(e.what()).find("cut short"), std::string::npos) << e.what();
    }

    // Bytes that are not UTF-8 keep their row, visibly, with a note naming the place.
    const fs::path latin = copyExcerpt("latin", [](const std::string& file, std::string& bytes) {
        if (file == "mapunit.txt")
            bytes.replace(bytes.find("Harqua"), 6, "Harq\xfc" "a");
    });
    import({latin}, temp / "latin.sqlite");
    EXPECT_EQ(Db(temp / "latin.sqlite").value("SELECT muname FROM mapunit WHERE mukey = '53258'"),
              "Harq\xc3\xbc" "a-Tremant complex");
    EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [](const auto& n) {
        return n.find("mapunit.txt, line 1, field muname: bytes that are not UTF-8") != n.npos;
    }));
}

TEST_F(DownloadImport, LevelQueriesUseTheKeyIndexesOnAnImportAndOnAMirror)
{
    REQUIRE_EXCERPT();
    import({kExcerpt}, temp / "az.sqlite");
    // A mirror: the same tables without any index, then the keys the Access mirror adds.
    fs::copy_file(temp / "az.sqlite", temp / "mirror.sqlite");
    {
        Db mirror(temp / "mirror.sqlite");
        sqlite3_exec(mirror.db, "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr);
        for (const auto& index : mirror.rows("SELECT name FROM sqlite_master WHERE type = 'index'"))
            sqlite3_exec(mirror.db, ("DROP INDEX \"" + index.substr(2) + "\"").c_str(), nullptr, nullptr, nullptr);
        ASSERT_EQ(mirror.value("SELECT count(*) FROM sqlite_master WHERE type = 'index'"), "0");
        using namespace qln::ado::detail;
        createIndexes(mirror.db, surveyIndexPlans(mirror.db), IndexSet::All, OnRepeatedKey::PlainIndex);
        sqlite3_exec(mirror.db, "COMMIT", nullptr, nullptr, nullptr);
    }
    const std::string units = "mapunit.mukey IN ('53258','53263')";
    const std::string components = "component.mukey IN (SELECT mapunit.mukey FROM mapunit WHERE " + units + ")";
    const std::string horizons = "chorizon.cokey IN (SELECT component.cokey FROM component WHERE " + components + ")";
    const std::vector<std::string> levels = {
        "SELECT * FROM mapunit WHERE " + units,
        "SELECT * FROM component WHERE " + components,
        "SELECT * FROM chorizon WHERE " + horizons,
        "SELECT * FROM comonth WHERE comonth.cokey IN (SELECT component.cokey FROM component WHERE " + components + ")",
        "SELECT * FROM chtexturegrp WHERE chtexturegrp.chkey IN (SELECT chorizon.chkey FROM chorizon WHERE " +
            horizons + ")",
    };
    for (const char* file : {"az.sqlite", "mirror.sqlite"}) {
        Db db(temp / file);
        for (const auto& level : levels) {
            std::string plan;
            for (const auto& step : db.rows("EXPLAIN QUERY PLAN " + level))
                plan += step.substr(step.rfind(':') + 1) + "; ";
            EXPECT_EQ(plan.find("SCAN"), std::string::npos) << file << ": " << level << "\n" << plan;
            EXPECT_NE(plan.find("USING"), std::string::npos) << file << ": " << level << "\n" << plan;
        }
    }
}
