#include "quillon/gis/SoilsLayer.h"

#include "ShapefileFiles.h"
#include "quillon/ado/CodePage.h"
#include "quillon/gis/CoordinateSystem.h"
#include "quillon/gis/GisError.h"
#include "quillon/shapelib/Handles.h"

#include <shapefil.h>

#include <cmath>
#include <fstream>
#include <memory>

namespace qln::gis {

using shapelib::DbfClose;
using shapelib::ObjDestroy;
using shapelib::ShpClose;

namespace {

// shapelib reports read problems through this hook; the first one becomes part of our
// message instead of a line on standard error.
thread_local std::string t_libraryError;

void keepLibraryError(const char* message)
{
    if (t_libraryError.empty())
        t_libraryError = message ? message : "unknown error";
}

std::string because()
{
    return t_libraryError.empty() ? std::string() : " (" + t_libraryError + ")";
}

std::string readText(DBFHandle dbf, ado::TextDecoder& decoder, int row, int field)
{
    if (field < 0 || DBFIsAttributeNULL(dbf, row, field))
        return {};
    const char* text = DBFReadStringAttribute(dbf, row, field);
    return text ? decoder.decode(text) : std::string();
}

bool finiteShape(const SHPObject& obj)
{
    for (const double bound : {obj.dfXMin, obj.dfYMin, obj.dfXMax, obj.dfYMax})
        if (!std::isfinite(bound))
            return false;
    for (int v = 0; v < obj.nVertices; ++v)
        if (!std::isfinite(obj.padfX[v]) || !std::isfinite(obj.padfY[v]))
            return false;
    return true;
}

std::string readWhole(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

SoilsLayer SoilsLayer::load(const std::filesystem::path& shp)
{
    const std::string name = shp.string();
    detail::ShapefileFiles files;
    const int listed = detail::checkShapefile(shp, files);

    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.Error = keepLibraryError;
    t_libraryError.clear();
    std::unique_ptr<SHPInfo, ShpClose> shape(SHPOpenLL(name.c_str(), "rb", &hooks));
    if (!shape)
        throw GisError("Cannot read the shapefile " + name + because());
    int count = 0;
    int type = 0;
    SHPGetInfo(shape.get(), &count, &type, nullptr, nullptr);
    if (type != SHPT_POLYGON && type != SHPT_POLYGONZ && type != SHPT_POLYGONM)
        throw GisError("The shapefile " + name + " does not hold polygons");
    if (count != listed)
        throw GisError("The index file " + files.shx.string() + " is damaged: it lists " + std::to_string(listed) +
                       " shapes, its header " + std::to_string(count));

    std::unique_ptr<DBFInfo, DbfClose> dbf(DBFOpenLL(files.dbf.c_str(), "rb", &hooks));
    if (!dbf)
        throw GisError("Cannot read the attribute file " + files.dbf.string() + " of the shapefile " + name + because());
    SoilsLayer layer;
    for (int f = 0; f < DBFGetFieldCount(dbf.get()); ++f) {
        char field[XBASE_FLDNAME_LEN_READ + 1] = {};
        DBFGetFieldInfo(dbf.get(), f, field, nullptr, nullptr);
        layer.m_fieldNames.emplace_back(field);
    }
    // DBFGetFieldIndex ignores letter case: survey downloads name these MUKEY and MUSYM.
    const int mukeyField = DBFGetFieldIndex(dbf.get(), "mukey");
    if (mukeyField < 0)
        throw GisError("The attribute file " + files.dbf.string() + " has no mukey column: map units cannot be joined");
    const int musymField = DBFGetFieldIndex(dbf.get(), "musym");
    const int areaField = DBFGetFieldIndex(dbf.get(), "areasymbol");
    if (DBFGetRecordCount(dbf.get()) != count)
        throw GisError("The shapefile " + name + " holds " + std::to_string(count) + " shapes but its attribute file " +
                       files.dbf.string() + " " + std::to_string(DBFGetRecordCount(dbf.get())) + " rows");
    ado::TextDecoder decoder(DBFGetCodePage(dbf.get()));

    layer.m_path = shp;
    layer.m_attributeFile = files.dbf.filename().string();
    layer.m_codePage = decoder.description();
    if (!files.prj.empty())
        layer.m_projection = readWhole(files.prj);
    layer.m_mukey.reserve(static_cast<std::size_t>(count));
    layer.m_musym.reserve(static_cast<std::size_t>(count));
    layer.m_bounds.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<SHPObject, ObjDestroy> obj(SHPReadObject(shape.get(), i));
        if (!obj || !t_libraryError.empty())
            throw GisError("The shapefile " + name + " is damaged at shape " + std::to_string(i + 1) + because());
        layer.m_mukey.push_back(readText(dbf.get(), decoder, i, mukeyField));
        layer.m_musym.push_back(readText(dbf.get(), decoder, i, musymField));
        if (areaField >= 0)
            layer.m_areasymbol.push_back(readText(dbf.get(), decoder, i, areaField));
        if (!t_libraryError.empty())
            throw GisError("The attribute file " + files.dbf.string() + " is damaged at row " + std::to_string(i + 1) +
                           because());
        // One shape with a NaN or infinite coordinate would make the extent, and so the
        // whole map, undrawable: it stays in the table, without rings, and is named.
        if (!finiteShape(*obj)) {
            layer.m_warnings.push_back("The shapefile " + name + ": shape " + std::to_string(i + 1) + " (mukey " +
                                       layer.m_mukey.back() +
                                       ") has coordinates that are not finite numbers; it is left out.");
            layer.m_shapeRing.push_back(static_cast<std::uint32_t>(layer.m_ringStart.size() - 1));
            layer.m_bounds.emplace_back();
            continue;
        }
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
    }
    if (layer.m_points.empty())
        throw GisError("The shapefile " + name + " holds no polygons");
    layer.m_groundAspect = gis::groundAspect(layer.m_projection, layer.m_extent);
    return layer;
}

const std::string& SoilsLayer::areasymbol(std::size_t shape) const
{
    static const std::string none;
    return m_areasymbol.empty() ? none : m_areasymbol[shape];
}

std::string SoilsLayer::title() const
{
    return m_path.stem().string();
}

std::string SoilsLayer::attributeFileName() const
{
    return m_attributeFile;
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
