#include "GeoPackageOutput.h"
#include "ResultWriter.h"

#include "quillon/AtomicFile.h"
#include "quillon/ado/Types.h"
#include "quillon/gis/GisError.h"
#include "quillon/gis/Legend.h"
#include "quillon/gis/RatingTheme.h"
#include "quillon/gis/SoilsLayer.h"
#include "quillon/gis/ThemeGeoPackage.h"

#include <unordered_map>

namespace qln::rate {

GeoPackageRequest prepareGeoPackage(const std::filesystem::path& shp, const ado::Recordset& attribute,
                                    const std::filesystem::path& legends, std::ostream& warnings)
{
    GeoPackageRequest request;
    request.layer = std::make_shared<const gis::SoilsLayer>(gis::SoilsLayer::load(shp));
    for (const auto& warning : request.layer->warnings())
        warnings << "quillon-rate: warning: " << warning << "\n";
    request.title = attribute.value("ThemeName").text();
    if (attribute.value("UseAVLFile").number().value_or(0) != 0) {
        const std::filesystem::path legend = legends / attribute.value("AVLFileName").text();
        gis::Legend::fromFile(legend);  // read now: a broken legend refuses the run before it rates
        request.legend = legend.string();
    } else {
        request.legend = "DYNAMIC";
    }
    return request;
}

void writeGeoPackage(ado::Recordset& results, GeoPackageRequest request, const std::filesystem::path& output)
{
    const int key = results.fieldIndex("mukey");
    const int field = results.fieldIndex(request.column);
    if (key < 0 || field < 0)
        throw OutputError("Cannot write the GeoPackage " + output.string() + ": the ratings have no column " +
                          (key < 0 ? std::string("mukey") : request.column));
    std::unordered_map<std::string, Variant> ratings;
    for (results.moveFirst(); !results.eof(); results.moveNext())
        ratings.emplace(results.value(key).text(), results.value(field));
    const bool numeric = columnType(results, field) != "String";
    const std::string column = results.field(field).name;
    try {
        const auto theme = gis::makeRatingTheme(std::move(request.layer), {column, request.title, request.legend}, ratings);
        gis::writeThemeGeoPackage(theme, output, numeric);
    } catch (const gis::GisError& error) {
        throw OutputError(error.what());
    }
}

} // namespace qln::rate
