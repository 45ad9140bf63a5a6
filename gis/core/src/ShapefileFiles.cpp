#include "ShapefileFiles.h"

#include "quillon/InputFile.h"
#include "quillon/gis/GisError.h"

#include <cstdint>
#include <fstream>
#include <vector>

namespace qln::gis::detail {

namespace {

constexpr std::uint32_t kFileCode = 9994;

std::uint32_t bigEndian(const unsigned char* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint32_t littleEndian(const unsigned char* p, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes; i-- > 0;)
        value = value << 8 | p[i];
    return value;
}

std::vector<unsigned char> readAll(const std::filesystem::path& file, const std::string& what)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw GisError("Cannot read the " + what + " " + file.string());
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw GisError("Cannot read the " + what + " " + file.string());
    return bytes;
}

std::vector<unsigned char> readHead(const std::filesystem::path& file, std::size_t count, const std::string& what)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw GisError("Cannot read the " + what + " " + file.string());
    std::vector<unsigned char> bytes(count);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

[[noreturn]] void damaged(const std::string& what, const std::filesystem::path& file, const std::string& why)
{
    throw GisError("The " + what + " " + file.string() + " is damaged: " + why);
}

std::uintmax_t lengthOf(const std::filesystem::path& file, const std::string& what)
{
    std::error_code error;
    const std::uintmax_t length = std::filesystem::file_size(file, error);
    if (error)
        throw GisError("Cannot read the " + what + " " + file.string() + ": " + error.message());
    if (length == 0)
        throw GisError("The " + what + " " + file.string() + " is empty");
    return length;
}

// The 100-byte header shared by .shp and .shx: file code and length (in 16-bit words).
void checkMainHeader(const std::vector<unsigned char>& head, std::uintmax_t length, const std::string& what,
                     const std::filesystem::path& file)
{
    if (length < 100 || head.size() < 100)
        damaged(what, file, "it is shorter than its 100-byte header (" + std::to_string(length) + " bytes)");
    if (bigEndian(head.data()) != kFileCode)
        damaged(what, file, "it does not begin as a shapefile does");
    const std::uint64_t declared = std::uint64_t(bigEndian(head.data() + 24)) * 2;
    if (declared > length)
        damaged(what, file, "its header claims " + std::to_string(declared) + " bytes, the file has " +
                                std::to_string(length));
}

} // namespace

std::filesystem::path sibling(const std::filesystem::path& shp, const std::string& lowerExtension)
{
    std::filesystem::path lower = shp;
    lower.replace_extension(lowerExtension);
    std::string upperExtension = lowerExtension;
    for (char& c : upperExtension)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    std::filesystem::path upper = shp;
    upper.replace_extension(upperExtension);
    const std::filesystem::path found =
        std::filesystem::exists(lower) ? lower : std::filesystem::exists(upper) ? upper : std::filesystem::path();
    if (!found.empty())
        if (const auto why = irregularInput(found))
            throw GisError("Cannot read the shapefile " + shp.string() + ": " + *why);
    return found;
}

int checkShapefile(const std::filesystem::path& shp, ShapefileFiles& files)
{
    files.shp = shp;
    if (const auto why = irregularInput(shp))
        throw GisError("Cannot read the shapefile " + shp.string() + ": " + *why);
    if (!std::filesystem::is_regular_file(shp))
        throw GisError("Cannot read the shapefile " + shp.string() + ": there is no such file");
    const std::uintmax_t shpLength = lengthOf(shp, "shapefile");
    checkMainHeader(readHead(shp, 100, "shapefile"), shpLength, "shapefile", shp);

    files.shx = sibling(shp, ".shx");
    if (files.shx.empty())
        throw GisError("The index file " + std::filesystem::path(shp).replace_extension(".shx").string() +
                       " of the shapefile " + shp.string() + " is missing");
    const std::uintmax_t shxLength = lengthOf(files.shx, "index file");
    const std::vector<unsigned char> index = readAll(files.shx, "index file");
    checkMainHeader(index, shxLength, "index file", files.shx);
    if ((shxLength - 100) % 8 != 0)
        damaged("index file", files.shx, "its " + std::to_string(shxLength - 100) +
                                             " bytes of entries are not whole 8-byte entries");
    const std::uintmax_t count = (shxLength - 100) / 8;
    for (std::uintmax_t i = 0; i < count; ++i) {
        const unsigned char* entry = index.data() + 100 + i * 8;
        const std::uint64_t offset = std::uint64_t(bigEndian(entry)) * 2;
        const std::uint64_t size = std::uint64_t(bigEndian(entry + 4)) * 2;
        if (offset < 100 || offset + 8 + size > shpLength)
            damaged("index file", files.shx, "its entry " + std::to_string(i + 1) + " points outside the shapefile " +
                                                 shp.string());
    }

    files.dbf = sibling(shp, ".dbf");
    if (files.dbf.empty())
        throw GisError("The attribute file " + std::filesystem::path(shp).replace_extension(".dbf").string() +
                       " of the shapefile " + shp.string() + " is missing");
    const std::uintmax_t dbfLength = lengthOf(files.dbf, "attribute file");
    const std::vector<unsigned char> head = readHead(files.dbf, 32, "attribute file");
    if (head.size() < 32)
        damaged("attribute file", files.dbf, "it is shorter than a dBase header (" + std::to_string(dbfLength) + " bytes)");
    const std::uint64_t records = littleEndian(head.data() + 4, 4);
    const std::uint64_t headerSize = littleEndian(head.data() + 8, 2);
    const std::uint64_t recordSize = littleEndian(head.data() + 10, 2);
    if (headerSize < 33 || recordSize == 0 || headerSize + records * recordSize > dbfLength)
        damaged("attribute file", files.dbf,
                "its header counts " + std::to_string(records) + " records of " + std::to_string(recordSize) +
                    " bytes after " + std::to_string(headerSize) + " header bytes, the file has " +
                    std::to_string(dbfLength));

    files.prj = sibling(shp, ".prj");
    files.cpg = sibling(shp, ".cpg");
    return static_cast<int>(count);
}

} // namespace qln::gis::detail
