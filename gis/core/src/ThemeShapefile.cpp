#include "quillon/gis/ThemeShapefile.h"

#include "ShapefileFiles.h"
#include "StagedFiles.h"
#include "quillon/AtomicFile.h"
#include "quillon/Text.h"
#include "quillon/gis/DbaseColumn.h"
#include "quillon/gis/GisError.h"
#include "quillon/shapelib/Handles.h"

#include <shapefil.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace qln::gis {

using shapelib::DbfClose;
using shapelib::ObjDestroy;
using shapelib::ShpClose;

namespace {

// shapelib does not check every write: these hooks note the first failed write, flush or
// close (a full disk), which the writer then reports instead of leaving a short file.
thread_local int t_writeError = 0;
thread_local std::string t_libraryError;

const SAHooks& defaultHooks()
{
    static const SAHooks hooks = [] {
        SAHooks h;
        SASetupDefaultHooks(&h);
        return h;
    }();
    return hooks;
}

void noteFailure()
{
    if (t_writeError == 0)
        t_writeError = errno != 0 ? errno : EIO;
}

SAOffset checkedWrite(void* p, SAOffset size, SAOffset count, SAFile file)
{
    errno = 0;
    const SAOffset written = defaultHooks().FWrite(p, size, count, file);
    if (written != count)
        noteFailure();
    return written;
}

int checkedFlush(SAFile file)
{
    errno = 0;
    const int result = defaultHooks().FFlush(file);
    if (result != 0)
        noteFailure();
    return result;
}

int checkedClose(SAFile file)
{
    errno = 0;
    const int result = defaultHooks().FClose(file);
    if (result != 0)
        noteFailure();
    return result;
}

void keepLibraryError(const char* message)
{
    if (t_libraryError.empty())
        t_libraryError = message ? message : "unknown error";
}

SAHooks checkedHooks()
{
    SAHooks hooks = defaultHooks();
    hooks.FWrite = checkedWrite;
    hooks.FFlush = checkedFlush;
    hooks.FClose = checkedClose;
    hooks.Error = keepLibraryError;
    return hooks;
}

void checkWrites(const std::filesystem::path& shp)
{
    if (t_writeError != 0)
        throw GisError("Cannot write the shapefile " + shp.string() + ": " + std::strerror(t_writeError));
    if (!t_libraryError.empty())
        throw GisError("Cannot write the shapefile " + shp.string() + ": " + t_libraryError);
}

std::string upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::vector<Variant> textColumn(const SoilsLayer& layer, bool keys)
{
    std::vector<Variant> out;
    out.reserve(layer.size());
    for (std::size_t s = 0; s < layer.size(); ++s) {
        const std::string& text = keys ? layer.mukey(s) : layer.musym(s);
        out.push_back(text.empty() ? Variant::null() : Variant(text));
    }
    return out;
}

// Files of an older shapefile of that name that would not match the new one: spatial
// indexes and metadata, and the parts under the other letter case.
std::vector<std::string> staleNames(const std::string& stem, bool withPrj)
{
    std::vector<std::string> out;
    for (const char* ext : {".sbn", ".sbx", ".qix", ".fbn", ".fbx", ".ain", ".aih", ".atx", ".ixs", ".mxs"}) {
        out.push_back(stem + ext);
        out.push_back(stem + upper(ext));
    }
    out.push_back(stem + ".shp.xml");
    for (const char* ext : {".SHP", ".SHX", ".DBF", ".CPG", ".PRJ"})
        out.push_back(stem + ext);
    if (!withPrj)
        out.push_back(stem + ".prj");
    return out;
}

void writeGeometry(SHPInfo* shp, const SoilsLayer& layer, std::size_t s)
{
    std::vector<int> starts;
    std::vector<double> x, y;
    for (std::uint32_t r = layer.firstRing(s); r < layer.endRing(s); ++r) {
        starts.push_back(static_cast<int>(x.size()));
        for (std::uint32_t i = layer.ringBegin(r); i < layer.ringEnd(r); ++i) {
            x.push_back(layer.point(i).x());
            y.push_back(layer.point(i).y());
        }
    }
    // The rings go out as they came in (no rewinding): holes stay holes for every reader.
    std::unique_ptr<SHPObject, ObjDestroy> object(
        x.empty() ? SHPCreateObject(SHPT_NULL, -1, 0, nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr)
                  : SHPCreateObject(SHPT_POLYGON, -1, static_cast<int>(starts.size()), starts.data(), nullptr,
                                    static_cast<int>(x.size()), x.data(), y.data(), nullptr, nullptr));
    if (!object || SHPWriteObject(shp, -1, object.get()) < 0)
        noteFailure();
}

} // namespace

std::string safeFileName(std::string_view title)
{
    std::string out;
    for (const char c : title) {
        const auto u = static_cast<unsigned char>(c);
        out += u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) ? '_' : c;
    }
    const auto first = out.find_first_not_of(" .");
    if (first == std::string::npos)
        return "theme";
    out = out.substr(first, out.find_last_not_of(" .") - first + 1);
    if (out.size() > 100) {
        std::size_t end = 100;
        while (end > 0 && (static_cast<unsigned char>(out[end]) & 0xC0) == 0x80)
            --end;
        out = out.substr(0, end);
        out = out.substr(0, out.find_last_not_of(" .") + 1);
    }
    return out;
}

bool shapefileExists(const std::filesystem::path& shp)
{
    for (const char* ext : {".shp", ".shx", ".dbf"})
        if (!detail::sibling(shp, ext).empty())
            return true;
    return false;
}

std::string ratingFieldName(const std::string& column)
{
    const std::string name = column.substr(0, 10);
    if (upper(name) == "MUKEY" || upper(name) == "MUSYM")
        throw GisError("The rating column " + column + " has the name of a field the shapefile holds already");
    return name;
}

std::filesystem::path writeThemeShapefile(const RatingTheme& theme, const std::filesystem::path& chosen)
{
    if (lowerAscii(chosen.extension().string()) != ".shp")
        throw GisError("The shapefile name " + chosen.string() + " does not end in .shp");
    const std::filesystem::path shp = std::filesystem::path(chosen).replace_extension(".shp");
    const SoilsLayer& layer = *theme.layer;
    if (theme.values.size() != layer.size())
        throw GisError("The theme " + theme.title + " does not rate every shape of its layer");
    const std::string field = ratingFieldName(theme.column);
    const std::vector<Variant> keys = textColumn(layer, true);
    const std::vector<Variant> symbols = textColumn(layer, false);
    const DbaseColumn keyColumn = columnFor(keys);
    const DbaseColumn symbolColumn = columnFor(symbols);
    const DbaseColumn ratingColumn = columnFor(theme.values);

    // The soils shapefile the theme was joined to is an input, never a place to write.
    try {
        refuseOutputOverInputs(shp, {layer.path()});
    } catch (const OutputIsInputError& error) {
        throw GisError(error.what());
    }
    const std::string stem = shp.stem().string();
    detail::StagedFiles staging(shp.parent_path(), stem);
    t_writeError = 0;
    t_libraryError.clear();
    SAHooks hooks = checkedHooks();
    {
        std::unique_ptr<SHPInfo, ShpClose> out(SHPCreateLL(staging.staged(stem + ".shp").c_str(), SHPT_POLYGON, &hooks));
        std::unique_ptr<DBFInfo, DbfClose> table(DBFCreateLL(staging.staged(stem + ".dbf").c_str(), "UTF-8", &hooks));
        if (!out || !table)
            throw GisError("Cannot create the shapefile " + shp.string() + " in its folder" +
                           (t_writeError ? std::string(": ") + std::strerror(t_writeError) : std::string()));
        const int keyField = DBFAddNativeFieldType(table.get(), "MUKEY", 'C', keyColumn.width, 0);
        const int symbolField = DBFAddNativeFieldType(table.get(), "MUSYM", 'C', symbolColumn.width, 0);
        const int ratingField =
            DBFAddNativeFieldType(table.get(), field.c_str(), ratingColumn.type, ratingColumn.width, ratingColumn.decimals);
        if (keyField < 0 || symbolField < 0 || ratingField < 0)
            throw GisError("Cannot add the fields to the attribute table of " + shp.string());
        for (std::size_t s = 0; s < layer.size() && t_writeError == 0; ++s) {
            writeGeometry(out.get(), layer, s);
            const int row = static_cast<int>(s);
            // Cells go in as our own text: numbers never pass through the C library's locale.
            const auto put = [&](int column, std::string cell) {
                if (!DBFWriteAttributeDirectly(table.get(), row, column, cell.data()))
                    noteFailure();
            };
            put(keyField, cellText(keys[s], keyColumn));
            put(symbolField, cellText(symbols[s], symbolColumn));
            put(ratingField, cellText(theme.values[s], ratingColumn));
        }
    }
    checkWrites(shp);

    const std::filesystem::path prj = detail::sibling(layer.path(), ".prj");
    if (!prj.empty()) {
        std::error_code error;
        std::filesystem::copy_file(prj, staging.staged(stem + ".prj"), error);
        if (error)
            throw GisError("Cannot copy the projection file " + prj.string() + ": " + error.message());
    }
    if (!std::filesystem::exists(staging.staged(stem + ".cpg")))
        throw GisError("Cannot write the code page file of " + shp.string());
    staging.commit(staleNames(stem, !prj.empty()));
    return shp;
}

} // namespace qln::gis
