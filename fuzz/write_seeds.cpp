// Writes the seed inputs of the fuzz targets whose inputs are binary files, at build time,
// so that no binary is kept in the source tree. Each seed is deterministic.
// Usage: quillon_fuzz_seeds TARGET FOLDER   (TARGET: dbase, shapefile)

#include "ShapefileInput.h"

#include <shapefil.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct DbaseField {
    std::string_view name;
    char type;
    int width;
    int decimals;
};

// The map-unit table the dBase seeds share: a text, an integer, a number with decimals, a
// date and a logical.
constexpr DbaseField kMapUnitFields[] = {
    {"MUSYM", 'C', 6, 0}, {"MUKEY", 'N', 8, 0}, {"ACRES", 'N', 10, 2}, {"CORDATE", 'D', 8, 0}, {"OK", 'L', 1, 0},
};

// One record: a blank deletion flag, then each cell padded to its field's width (texts on
// the left, everything else on the right, as dBase writers do).
std::string record(const std::vector<std::string_view>& cells)
{
    std::string out = " ";
    for (std::size_t f = 0; f < cells.size(); ++f) {
        const DbaseField& field = kMapUnitFields[f];
        const std::string pad(static_cast<std::size_t>(field.width) - cells[f].size(), ' ');
        out += field.type == 'C' ? std::string(cells[f]) + pad : pad + std::string(cells[f]);
    }
    return out;
}

// The rows carry what a reader must cope with: a blank key and date, a numeric overflow
// ("*"), a Latin-1 letter, a negative number and one in exponent form.
const std::vector<std::string> kMapUnitRecords = {
    record({"Ab1", "1001", "12.50", "20000101", "T"}),
    record({"Cd", "", "********", "", "?"}),
    record({"Xy\xe9", "-7", "1e3", "19991231", "N"}),
};

void put16(std::string& out, std::size_t at, unsigned value)
{
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}

void put32(std::string& out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i) & 0xFF);
}

// A dBase III table with a header that counts declaredRecords and the given record bytes.
std::string dbaseTable(std::uint32_t declaredRecords, const std::vector<std::string>& records, bool endMark)
{
    std::size_t recordSize = 1;
    for (const DbaseField& field : kMapUnitFields)
        recordSize += static_cast<std::size_t>(field.width);
    const std::size_t headerSize = 32 + 32 * std::size(kMapUnitFields) + 1;
    std::string out(32, '\0');
    out[0] = '\x03';
    out[1] = static_cast<char>(126);  // last change 2026-12-08: fixed, so seeds never differ
    out[2] = 12;
    out[3] = 8;
    put32(out, 4, declaredRecords);
    put16(out, 8, static_cast<unsigned>(headerSize));
    put16(out, 10, static_cast<unsigned>(recordSize));
    for (const DbaseField& field : kMapUnitFields) {
        std::string descriptor(32, '\0');
        descriptor.replace(0, field.name.size(), field.name);
        descriptor[11] = field.type;
        descriptor[16] = static_cast<char>(field.width);
        descriptor[17] = static_cast<char>(field.decimals);
        out += descriptor;
    }
    out += '\x0D';
    for (const std::string& record : records)
        out += record;
    if (endMark)
        out += '\x1A';
    return out;
}

void writeFile(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

void writeDbaseSeeds(const fs::path& folder)
{
    writeFile(folder / "map-units.dbf", dbaseTable(3, kMapUnitRecords, true));
    // A header that promises 1000 records over the same three.
    writeFile(folder / "lying-count.dbf", dbaseTable(1000, kMapUnitRecords, true));
    // Three records promised, the file cut in the second.
    writeFile(folder / "cut.dbf", dbaseTable(3, {kMapUnitRecords[0], kMapUnitRecords[1].substr(0, 5)}, false));
}

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof())
        throw std::runtime_error("cannot read " + file.string());
    return bytes;
}

// A soils shapefile as survey downloads come: two map units, the first of two squares with
// a hole in one, fields in upper case; symbols with a letter outside ASCII in the code page
// given (a .cpg name, or "LDID/<n>" for the header's language byte).
struct Survey {
    int shapeType;
    const char* codePage;
    const char* symbol;  // in the bytes of the code page
};

void writeSurvey(const fs::path& shp, const Survey& survey)
{
    SHPHandle shape = SHPCreate(shp.c_str(), survey.shapeType);
    fs::path dbfPath = shp;
    DBFHandle table = DBFCreateEx(dbfPath.replace_extension(".dbf").c_str(), survey.codePage);
    if (!shape || !table)
        throw std::runtime_error("cannot create the shapefile " + shp.string());
    const int area = DBFAddField(table, "AREASYMBOL", FTString, 20, 0);
    const int symbol = DBFAddField(table, "MUSYM", FTString, 10, 0);
    const int key = DBFAddField(table, "MUKEY", FTString, 30, 0);
    std::vector<double> x {0, 0, 1, 1, 0, 0.25, 0.75, 0.75, 0.25, 0.25, 2, 2, 3, 3, 2};
    std::vector<double> y {0, 1, 1, 0, 0, 0.25, 0.25, 0.75, 0.75, 0.25, 0, 1, 1, 0, 0};
    std::vector<double> z(x.size(), 1.5);
    std::vector<int> starts {0, 5, 10};
    SHPObject* object = SHPCreateObject(survey.shapeType, -1, 3, starts.data(), nullptr, 15, x.data(), y.data(),
                                        z.data(), nullptr);
    SHPWriteObject(shape, -1, object);
    SHPDestroyObject(object);
    std::vector<double> x2 {4, 4, 5, 5, 4}, y2 {0, 1, 1, 0, 0}, z2(5, 2.5);
    object = SHPCreateSimpleObject(survey.shapeType, 5, x2.data(), y2.data(), z2.data());
    SHPWriteObject(shape, -1, object);
    SHPDestroyObject(object);
    for (int i = 0; i < 2; ++i) {
        DBFWriteStringAttribute(table, i, area, "XX001");
        DBFWriteStringAttribute(table, i, symbol, i == 0 ? survey.symbol : "Cd");
        DBFWriteStringAttribute(table, i, key, i == 0 ? "1001" : "1002");
    }
    SHPClose(shape);
    DBFClose(table);
}

void writeShapefileSeeds(const fs::path& folder)
{
    const fs::path work = folder / ".work";
    fs::create_directories(work);
    const fs::path shp = work / "soils.shp";
    auto piece = [&shp](const char* extension) {
        fs::path file = shp;
        return readFile(file.replace_extension(extension));
    };

    writeSurvey(shp, {SHPT_POLYGON, "UTF-8", "\xC3\x89" "b"});
    writeFile(folder / "survey-utf8", qln::fuzz::joinShapefileInput(piece(".shp"), piece(".shx"), piece(".dbf"),
                                                                     std::string_view("UTF-8")));
    const std::string shp2 = piece(".shp"), shx2 = piece(".shx");
    // The index cut after its first entry: the header and the attribute file count two.
    writeFile(folder / "index-cut", qln::fuzz::joinShapefileInput(shp2, shx2.substr(0, 108), piece(".dbf"),
                                                                   std::nullopt));

    writeSurvey(shp, {SHPT_POLYGON, "LDID/87", "\xC9" "b"});
    writeFile(folder / "survey-language-byte",
              qln::fuzz::joinShapefileInput(piece(".shp"), piece(".shx"), piece(".dbf"), std::nullopt));

    writeSurvey(shp, {SHPT_POLYGONZ, "ANSI 1252", "\xC9" "b"});
    writeFile(folder / "survey-z-ansi", qln::fuzz::joinShapefileInput(piece(".shp"), piece(".shx"), piece(".dbf"),
                                                                      std::string_view("ANSI 1252")));
    fs::remove_all(work);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TARGET FOLDER\n", argv[0]);
        return 64;
    }
    const std::string_view target = argv[1];
    const fs::path folder = argv[2];
    try {
        fs::remove_all(folder);
        fs::create_directories(folder);
        if (target == "dbase") {
            writeDbaseSeeds(folder);
        } else if (target == "shapefile") {
            writeShapefileSeeds(folder);
        } else {
            std::fprintf(stderr, "%s: no seeds for the fuzz target '%s'\n", argv[0], argv[1]);
            return 64;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
