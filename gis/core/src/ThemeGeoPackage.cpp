#include "quillon/gis/ThemeGeoPackage.h"

#include "StagedFiles.h"
#include "quillon/gis/GisError.h"
#include "quillon/gis/LayerStyle.h"

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <charconv>
#include <memory>
#include <mutex>

namespace qln::gis {

namespace {

// GDAL's messages are kept for our own error instead of going to standard error.
class QuietErrors {
public:
    QuietErrors()
    {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietErrors() { CPLPopErrorHandler(); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;
};

struct CloseDataset {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
struct DestroyFeature {
    void operator()(OGRFeature* feature) const { OGRFeature::DestroyFeature(feature); }
};
using Feature = std::unique_ptr<OGRFeature, DestroyFeature>;

[[noreturn]] void fail(const std::filesystem::path& gpkg, const std::string& what)
{
    const std::string why = CPLGetLastErrorMsg();
    throw GisError("Cannot write the GeoPackage " + gpkg.string() + ": " + what + (why.empty() ? "" : " (" + why + ")"));
}

void check(bool ok, const std::filesystem::path& gpkg, const std::string& what)
{
    if (!ok || CPLGetLastErrorType() >= CE_Failure)
        fail(gpkg, what);
}

// The decimal a Single reads as, not its widened binary value, so that the file holds 1.4
// where the map shows 1.4 (and classes it as 1.4).
std::optional<double> numberOf(const Variant& value)
{
    if (value.kind() == Variant::Kind::Single || value.kind() == Variant::Kind::Text) {
        const std::string text = value.text();
        double number = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (ec == std::errc() && end == text.data() + text.size())
            return number;
        return value.kind() == Variant::Kind::Single ? value.number() : std::nullopt;
    }
    return value.isNumber() ? value.number() : std::nullopt;
}

// The rings of a shape as polygons: outer rings and their holes told apart by containment,
// as GDAL does when it reads a shapefile; always a multipolygon, as the layer declares.
std::unique_ptr<OGRGeometry> geometryOf(const SoilsLayer& layer, std::size_t shape)
{
    const std::uint32_t first = layer.firstRing(shape), end = layer.endRing(shape);
    if (first == end)
        return nullptr;
    std::vector<OGRGeometry*> rings;
    for (std::uint32_t r = first; r < end; ++r) {
        auto* ring = new OGRLinearRing;
        for (std::uint32_t i = layer.ringBegin(r); i < layer.ringEnd(r); ++i)
            ring->addPoint(layer.point(i).x(), layer.point(i).y());
        ring->closeRings();
        auto* polygon = new OGRPolygon;
        polygon->addRingDirectly(ring);
        rings.push_back(polygon);
    }
    int valid = 0;
    OGRGeometry* organized =
        OGRGeometryFactory::organizePolygons(rings.data(), static_cast<int>(rings.size()), &valid, nullptr);
    return std::unique_ptr<OGRGeometry>(OGRGeometryFactory::forceToMultiPolygon(organized));
}

void addStyle(GDALDataset& dataset, const std::string& table, const RatingTheme& theme, bool numericField,
              const std::filesystem::path& gpkg)
{
    // The table QGIS reads a layer's stored styles from, with its own columns.
    OGRLayer* styles = dataset.CreateLayer("layer_styles", nullptr, wkbNone, nullptr);
    check(styles != nullptr, gpkg, "the style table");
    const auto field = [&](const char* name, OGRFieldType type, OGRFieldSubType subType = OFSTNone) {
        OGRFieldDefn definition(name, type);
        definition.SetSubType(subType);
        check(styles->CreateField(&definition) == OGRERR_NONE, gpkg, std::string("the style field ") + name);
    };
    for (const char* name : {"f_table_catalog", "f_table_schema", "f_table_name", "f_geometry_column", "styleName",
                             "styleQML", "styleSLD"})
        field(name, OFTString);
    field("useAsDefault", OFTInteger, OFSTBoolean);
    for (const char* name : {"description", "owner", "ui"})
        field(name, OFTString);
    field("update_time", OFTDateTime);

    Feature style(OGRFeature::CreateFeature(styles->GetLayerDefn()));
    style->SetField("f_table_catalog", "");
    style->SetField("f_table_schema", "");
    style->SetField("f_table_name", table.c_str());
    style->SetField("f_geometry_column", "geom");
    style->SetField("styleName", table.c_str());
    style->SetField("styleQML", qgisStyle(theme.legend, theme.column, numericField).c_str());
    style->SetField("styleSLD", sldStyle(theme.legend, table, theme.column).c_str());
    style->SetField("useAsDefault", 1);
    style->SetField("description", theme.title.c_str());
    style->SetField("owner", "");
    style->SetField("ui", "");
    check(styles->CreateFeature(style.get()) == OGRERR_NONE, gpkg, "the style");
}

void writeFile(const RatingTheme& theme, const std::filesystem::path& file, const std::string& table,
               bool numericField, const std::filesystem::path& gpkg)
{
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
    check(driver != nullptr, gpkg, "GDAL has no GeoPackage driver");
    std::unique_ptr<GDALDataset, CloseDataset> dataset(driver->Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    check(dataset != nullptr, gpkg, "the file could not be made");

    const SoilsLayer& layer = *theme.layer;
    OGRSpatialReference srs;
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const bool hasSrs = !layer.projection().empty() && srs.importFromWkt(layer.projection().c_str()) == OGRERR_NONE;
    if (hasSrs) {
        // Registered by its code (a .prj's GCS_WGS_1984 as EPSG:4326), as GIS programs expect.
        if (std::unique_ptr<OGRSpatialReference> known(srs.FindBestMatch()); known) {
            srs = *known;
            srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        }
    }
    CPLErrorReset();  // a .prj GDAL cannot read leaves the layer without a coordinate system

    const std::string identifier = "IDENTIFIER=" + theme.title;
    const char* const options[] = {"GEOMETRY_NAME=geom", "FID=fid", identifier.c_str(), nullptr};
    OGRLayer* out = dataset->CreateLayer(table.c_str(), hasSrs ? &srs : nullptr, wkbMultiPolygon,
                                         const_cast<char**>(options));
    check(out != nullptr, gpkg, "the layer " + table);
    for (const char* name : {"MUKEY", "MUSYM"}) {
        OGRFieldDefn definition(name, OFTString);
        check(out->CreateField(&definition) == OGRERR_NONE, gpkg, std::string("the field ") + name);
    }
    OGRFieldDefn rating(theme.column.c_str(), numericField ? OFTReal : OFTString);
    check(out->CreateField(&rating) == OGRERR_NONE, gpkg, "the field " + theme.column);

    check(dataset->StartTransaction() == OGRERR_NONE, gpkg, "a transaction");
    for (std::size_t s = 0; s < layer.size(); ++s) {
        Feature feature(OGRFeature::CreateFeature(out->GetLayerDefn()));
        if (!layer.mukey(s).empty())
            feature->SetField(0, layer.mukey(s).c_str());
        if (!layer.musym(s).empty())
            feature->SetField(1, layer.musym(s).c_str());
        const Variant& value = theme.values[s];
        if (value.isMissing()) {
            feature->SetFieldNull(2);
        } else if (!numericField) {
            feature->SetField(2, value.text().c_str());
        } else if (const auto number = numberOf(value)) {
            feature->SetField(2, *number);
        } else {
            throw GisError("Cannot write the GeoPackage " + gpkg.string() + ": the rating \"" + value.text() +
                           "\" of map unit " + layer.mukey(s) + " is not a number");
        }
        if (auto geometry = geometryOf(layer, s))
            feature->SetGeometryDirectly(geometry.release());
        check(out->CreateFeature(feature.get()) == OGRERR_NONE, gpkg, "the polygon of map unit " + layer.mukey(s));
    }
    check(dataset->CommitTransaction() == OGRERR_NONE, gpkg, "the polygons");
    addStyle(*dataset, table, theme, numericField, gpkg);
    dataset.reset();
    check(true, gpkg, "the file could not be closed");
}

} // namespace

void writeThemeGeoPackage(const RatingTheme& theme, const std::filesystem::path& gpkg, bool numericField)
{
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    std::error_code error;
    // A link is the user's own pointer to where the file lives: that file is replaced.
    const std::filesystem::path target =
        std::filesystem::is_symlink(gpkg, error) ? std::filesystem::weakly_canonical(gpkg, error) : gpkg;
    if (std::filesystem::exists(target, error) && !std::filesystem::is_regular_file(target, error))
        throw GisError("Cannot write the GeoPackage " + gpkg.string() + ": it is not a regular file");
    const std::string name = target.filename().string();
    detail::StagedFiles staging(target.parent_path(), name);
    {
        QuietErrors quiet;
        writeFile(theme, staging.staged(name), target.stem().string(), numericField, gpkg);
    }
    staging.commit({});
}

} // namespace qln::gis
