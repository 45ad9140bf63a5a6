#include "quillon/gis/SoilsLayer.h"

#include "quillon/gis/GisError.h"

#include <shapefil.h>

#include <memory>

namespace qln::gis {

namespace {

struct ShpClose {
    void operator()(SHPInfo* h) const { SHPClose(h); }
};
struct DbfClose {
    void operator()(DBFInfo* h) const { DBFClose(h); }
};
struct ObjDestroy {
    void operator()(SHPObject* o) const { SHPDestroyObject(o); }
};

std::string readText(DBFHandle dbf, int row, int field)
{
    if (field < 0 || DBFIsAttributeNULL(dbf, row, field))
        return {};
    const char* text = DBFReadStringAttribute(dbf, row, field);
    return text ? std::string(text) : std::string();
}

} // namespace

SoilsLayer SoilsLayer::load(const std::filesystem::path& shp)
{
    const std::string name = shp.string();
    std::unique_ptr<SHPInfo, ShpClose> shape(SHPOpen(name.c_str(), "rb"));
    if (!shape)
        throw GisError("Cannot read the shapefile " + name + " (missing, unreadable or not a shapefile)");
    int count = 0;
    int type = 0;
    SHPGetInfo(shape.get(), &count, &type, nullptr, nullptr);
    if (type != SHPT_POLYGON && type != SHPT_POLYGONZ && type != SHPT_POLYGONM)
        throw GisError("The shapefile " + name + " does not hold polygons");

    std::filesystem::path dbfPath = shp;
    dbfPath.replace_extension(".dbf");
    std::unique_ptr<DBFInfo, DbfClose> dbf(DBFOpen(dbfPath.c_str(), "rb"));
    if (!dbf)
        throw GisError("Cannot read the attribute file " + dbfPath.string() + " of the shapefile " + name);
    const int mukeyField = DBFGetFieldIndex(dbf.get(), "mukey");
    if (mukeyField < 0)
        throw GisError("The attribute file " + dbfPath.string() + " has no mukey column: map units cannot be joined");
    const int musymField = DBFGetFieldIndex(dbf.get(), "musym");
    if (DBFGetRecordCount(dbf.get()) != count)
        throw GisError("The shapefile " + name + " holds " + std::to_string(count) + " shapes but its attribute file " +
                       std::to_string(DBFGetRecordCount(dbf.get())) + " rows");

    SoilsLayer layer;
    layer.m_path = shp;
    layer.m_mukey.reserve(static_cast<std::size_t>(count));
    layer.m_musym.reserve(static_cast<std::size_t>(count));
    layer.m_bounds.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<SHPObject, ObjDestroy> obj(SHPReadObject(shape.get(), i));
        if (!obj)
            throw GisError("The shapefile " + name + " is damaged at shape " + std::to_string(i + 1));
        for (int part = 0; part < obj->nParts; ++part) {
            const int begin = obj->panPartStart[part];
            const int end = part + 1 < obj->nParts ? obj->panPartStart[part + 1] : obj->nVertices;
            if (begin < 0 || end > obj->nVertices || begin > end)
                throw GisError("The shapefile " + name + " is damaged at shape " + std::to_string(i + 1));
            for (int v = begin; v < end; ++v)
                layer.m_points.emplace_back(obj->padfX[v], obj->padfY[v]);
            layer.m_ringStart.push_back(static_cast<std::uint32_t>(layer.m_points.size()));
        }
        layer.m_shapeRing.push_back(static_cast<std::uint32_t>(layer.m_ringStart.size() - 1));
        const QRectF box(QPointF(obj->dfXMin, obj->dfYMin), QPointF(obj->dfXMax, obj->dfYMax));
        layer.m_bounds.push_back(box);
        if (obj->nVertices > 0)
            layer.m_extent = layer.m_extent.isNull() ? box : layer.m_extent.united(box);
        layer.m_mukey.push_back(readText(dbf.get(), i, mukeyField));
        layer.m_musym.push_back(readText(dbf.get(), i, musymField));
    }
    if (layer.m_points.empty())
        throw GisError("The shapefile " + name + " holds no polygons");
    return layer;
}

std::string SoilsLayer::title() const
{
    return m_path.stem().string();
}

std::string SoilsLayer::attributeFileName() const
{
    return m_path.stem().string() + ".dbf";
}

std::optional<std::size_t> SoilsLayer::shapeAt(QPointF at) const
{
    for (std::size_t s = size(); s-- > 0;) {
        if (!m_bounds[s].contains(at))
            continue;
        bool inside = false;
        for (std::uint32_t r = firstRing(s); r < endRing(s); ++r) {
            const std::uint32_t b = ringBegin(r), e = ringEnd(r);
            for (std::uint32_t i = b, j = e - 1; i < e; j = i++) {
                const QPointF& p = m_points[i];
                const QPointF& q = m_points[j];
                if ((p.y() > at.y()) != (q.y() > at.y()) &&
                    at.x() < (q.x() - p.x()) * (at.y() - p.y()) / (q.y() - p.y()) + p.x())
                    inside = !inside;
            }
        }
        if (inside)
            return s;
    }
    return std::nullopt;
}

} // namespace qln::gis
