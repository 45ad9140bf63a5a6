// Writes the seed inputs of the fuzz targets whose inputs are binary files, at build time,
// so that no binary is kept in the source tree. Each seed is deterministic.
// Usage: quillon_fuzz_seeds TARGET FOLDER   (TARGET: dbase)

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
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
