#include "PolygonLayers.h"

#include "PipeRecords.h"
#include "quillon/TemporaryFolder.h"
#include "quillon/Text.h"
#include "quillon/shapelib/Handles.h"

#include <shapefil.h>
#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

namespace qln::download {
namespace fs = std::filesystem;

namespace {

using ShpPtr = std::unique_ptr<SHPInfo, shapelib::ShpClose>;
using DbfPtr = std::unique_ptr<DBFInfo, shapelib::DbfClose>;
using ObjPtr = std::unique_ptr<SHPObject, shapelib::ObjDestroy>;

std::string readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in && !in.eof())
        throw std::runtime_error(file.string() + ": the merged map layer cannot be read back");
    return std::move(bytes).str();
}

void writeBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    if (!out)
        throw std::runtime_error(file.string() + ": cannot be written to merge the map layers");
}

// A .prj file's text as two files of the same system compare, whatever line ends they have.
std::string withoutEndSpace(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string stem(const std::string& file)
{
    const auto dot = file.rfind('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

std::string extension(const std::string& file)
{
    const auto dot = file.rfind('.');
    return dot == std::string::npos ? "" : lowerAscii(file.substr(dot));
}

struct Column {
    std::string name;
    char type = 'C';
    int width = 0;
    int decimals = 0;
};

// One survey's layer, opened from the work folder.
struct Layer {
    std::string survey;  // the download as the user named it
    std::string stem;    // soilmu_a_<area>, as the download spells it
    ShpPtr shapes;
    DbfPtr records;
    std::optional<std::string> projection;  // blanks at the ends left out, to compare
    std::string projectionFile;
    std::string codePage;
    std::vector<Column> columns;
};

Layer openLayer(const DownloadFiles& survey, const std::string& layerStem, const std::vector<std::string>& files,
                const fs::path& folder)
{
    Layer layer{survey.name(), layerStem, {}, {}, {}, {}, {}, {}};
    fs::create_directories(folder);
    std::map<std::string, fs::path> written;
    for (const auto& file : files) {
        writeBytes(folder / file, survey.spatial(file));
        written[extension(file)] = folder / file;
    }
    for (const char* needed : {".shp", ".shx", ".dbf"})
        if (!written.count(needed))
            throw DownloadError(survey.name() + ": the map layer " + layerStem + " has no " + needed +
                                " file, so it cannot be merged with the other surveys' layers");
    const std::string where = survey.name() + ": " + layerStem;
    layer.shapes.reset(SHPOpen(written[".shp"].c_str(), "rb"));
    layer.records.reset(DBFOpen(written[".dbf"].c_str(), "rb"));
    if (!layer.shapes || !layer.records)
        throw DownloadError(where + ": the map layer cannot be read as a shapefile");
    int count = 0, type = 0;
    SHPGetInfo(layer.shapes.get(), &count, &type, nullptr, nullptr);
    if (type != SHPT_POLYGON)
        throw DownloadError(where + ": the map layer holds shapes of type " + std::to_string(type) +
                            ", not polygons");
    if (count != DBFGetRecordCount(layer.records.get()))
        throw DownloadError(where + ": the map layer has " + std::to_string(count) + " shapes but " +
                            std::to_string(DBFGetRecordCount(layer.records.get())) + " records");
    if (written.count(".prj")) {
        layer.projectionFile = readBytes(written[".prj"]);
        layer.projection = withoutEndSpace(layer.projectionFile);
    }
    if (const char* codePage = DBFGetCodePage(layer.records.get()))
        layer.codePage = codePage;
    for (int i = 0; i < DBFGetFieldCount(layer.records.get()); ++i) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        Column column;
        DBFGetFieldInfo(layer.records.get(), i, name, &column.width, &column.decimals);
        column.name = name;
        column.type = DBFGetNativeFieldType(layer.records.get(), i);
        layer.columns.push_back(column);
    }
    return layer;
}

// What one layer cannot share with the first: empty when they agree.
std::string disagreement(const Layer& first, const Layer& other)
{
    if (first.projection != other.projection)
        return "are in different coordinate systems (their .prj files differ)";
    if (first.codePage != other.codePage)
        return "have different code pages (" + (first.codePage.empty() ? "none" : first.codePage) + ", " +
               (other.codePage.empty() ? "none" : other.codePage) + ")";
    if (first.columns.size() != other.columns.size())
        return "have different columns";
    for (std::size_t i = 0; i < first.columns.size(); ++i)
        if (lowerAscii(first.columns[i].name) != lowerAscii(other.columns[i].name) ||
            first.columns[i].type != other.columns[i].type)
            return "have different columns (" + first.columns[i].name + ", " + other.columns[i].name + ")";
    return {};
}

std::vector<Layer> openLayers(const std::vector<const DownloadFiles*>& surveys, const fs::path& folder)
{
    std::vector<Layer> layers;
    for (std::size_t i = 0; i < surveys.size(); ++i) {
        std::map<std::string, std::vector<std::string>> byStem;  // lower-case stem
        for (const auto& file : surveys[i]->polygonFiles())
            byStem[lowerAscii(stem(file))].push_back(file);
        for (const auto& [key, files] : byStem)
            layers.push_back(openLayer(*surveys[i], stem(files.front()), files,
                                       folder / std::to_string(layers.size())));
    }
    return layers;
}

// A numeric value right-aligned as dBase writes numbers; everything else left-aligned.
std::string fieldText(const Column& column, const char* value)
{
    std::string text = value;
    if ((column.type == 'N' || column.type == 'F') && static_cast<int>(text.size()) < column.width)
        text.insert(0, static_cast<std::size_t>(column.width) - text.size(), ' ');
    return text;
}

void appendLayer(const Layer& layer, const std::vector<Column>& columns, SHPInfo* shapes, DBFInfo* records)
{
    int count = 0;
    SHPGetInfo(layer.shapes.get(), &count, nullptr, nullptr, nullptr);
    for (int row = 0; row < count; ++row) {
        const ObjPtr shape(SHPReadObject(layer.shapes.get(), row));
        if (!shape)
            throw DownloadError(layer.survey + ": " + layer.stem + ": shape " + std::to_string(row + 1) +
                                " cannot be read");
        const int at = SHPWriteObject(shapes, -1, shape.get());
        if (at < 0)
            throw std::runtime_error("the merged map layer cannot take shape " + std::to_string(row + 1) + " of " +
                                     layer.survey);
        for (int field = 0; field < static_cast<int>(columns.size()); ++field) {
            std::string text;
            if (!DBFIsAttributeNULL(layer.records.get(), row, field))
                text = fieldText(columns[field], DBFReadStringAttribute(layer.records.get(), row, field));
            const bool written = text.empty() ? DBFWriteNULLAttribute(records, at, field)
                                              : DBFWriteAttributeDirectly(records, at, field, text.data());
            if (!written)
                throw std::runtime_error("the merged map layer cannot take record " + std::to_string(row + 1) +
                                         " of " + layer.survey);
        }
    }
}

std::vector<LayerFile> mergeLayers(const std::vector<Layer>& layers, const fs::path& folder)
{
    for (std::size_t i = 1; i < layers.size(); ++i)
        if (const std::string why = disagreement(layers.front(), layers[i]); !why.empty())
            throw DownloadError("the map layers of " + layers.front().survey + " (" + layers.front().stem + ") and " +
                                layers[i].survey + " (" + layers[i].stem + ") " + why +
                                ", so they cannot be merged into one layer");
    // A column as wide as its widest survey, so that no value is cut.
    std::vector<Column> columns = layers.front().columns;
    for (const auto& layer : layers)
        for (std::size_t i = 0; i < columns.size(); ++i) {
            columns[i].width = std::max(columns[i].width, layer.columns[i].width);
            columns[i].decimals = std::max(columns[i].decimals, layer.columns[i].decimals);
        }

    std::string name = "soilmu_a";
    for (const auto& layer : layers)
        name += "_" + layer.stem.substr(std::min(layer.stem.size(), std::string("soilmu_a_").size()));
    fs::create_directories(folder);
    const fs::path base = folder / name;
    {
        const ShpPtr shapes(SHPCreate(base.c_str(), SHPT_POLYGON));
        const DbfPtr records(DBFCreateEx((base.string() + ".dbf").c_str(),
                                         layers.front().codePage.empty() ? nullptr : layers.front().codePage.c_str()));
        if (!shapes || !records)
            throw std::runtime_error(base.string() + ": the merged map layer cannot be created");
        for (const auto& column : columns)
            if (DBFAddNativeFieldType(records.get(), column.name.c_str(), column.type, column.width,
                                      column.decimals) < 0)
                throw std::runtime_error(base.string() + ": the merged map layer cannot take the column " +
                                         column.name);
        for (const auto& layer : layers)
            appendLayer(layer, columns, shapes.get(), records.get());
    }
    if (layers.front().projection)
        writeBytes(base.string() + ".prj", layers.front().projectionFile);

    std::vector<LayerFile> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.push_back({entry.path().filename().string(), readBytes(entry.path())});
    std::sort(files.begin(), files.end(), [](const LayerFile& a, const LayerFile& b) { return a.name < b.name; });
    return files;
}

} // namespace

std::vector<LayerFile> polygonLayers(const std::vector<const DownloadFiles*>& surveys)
{
    std::vector<const DownloadFiles*> mapped;
    for (const auto* survey : surveys)
        if (!survey->polygonFiles().empty())
            mapped.push_back(survey);
    std::vector<LayerFile> files;
    if (mapped.size() == 1) {
        for (const auto& file : mapped.front()->polygonFiles())
            files.push_back({file, mapped.front()->spatial(file)});
        return files;
    }
    if (mapped.empty())
        return files;
    // shapelib opens files by name, so the surveys' layers (which may sit in zips) are written
    // to a private folder first; the merged layer is made there too.
    const TemporaryFolder work(fs::temp_directory_path(), "quillon-layers-");
    const std::vector<Layer> layers = openLayers(mapped, work.path() / "surveys");
    return mergeLayers(layers, work.path() / "merged");
}

} // namespace qln::download
