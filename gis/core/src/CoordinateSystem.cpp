#include "quillon/gis/CoordinateSystem.h"

#include <cpl_error.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qln::gis {

bool isGeographic(const std::string& projection)
{
    if (projection.empty())
        return false;
    CPLPushErrorHandler(CPLQuietErrorHandler);
    OGRSpatialReference srs;
    const bool read = srs.importFromWkt(projection.c_str()) == OGRERR_NONE;
    CPLPopErrorHandler();
    return read && srs.IsGeographic();
}

double groundAspect(const std::string& projection, const QRectF& extent)
{
    if (!isGeographic(projection) || extent.isNull())
        return 1;
    const double latitude = std::clamp(extent.center().y(), -89.0, 89.0);
    return std::cos(latitude * std::numbers::pi / 180);
}

} // namespace qln::gis
