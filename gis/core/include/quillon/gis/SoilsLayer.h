#pragma once

// The polygons of a soils shapefile with their map-unit keys and symbols, held flat so that
// drawing and identifying walk arrays, not objects.

#include <QPointF>
#include <QRectF>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qln::gis {

class SoilsLayer {
public:
    // Reads a polygon shapefile (.shp, .shx, .dbf; .prj and .cpg when present). Polygons may
    // have several parts and holes; field names match in any letter case; texts are decoded
    // by the file's code page. Throws GisError naming the file when one of the three is
    // missing, empty or damaged, holds no polygons, or the table has no mukey column. A
    // shape with coordinates that are not finite numbers is kept without rings (its row
    // stays, nothing is drawn or written of it) and named in warnings().
    static SoilsLayer load(const std::filesystem::path& shp);

    // What load() left out, one sentence each, naming the file and the shape.
    const std::vector<std::string>& warnings() const { return m_warnings; }

    const std::filesystem::path& path() const { return m_path; }
    // The shapefile's base name, the soils theme's title.
    std::string title() const;
    // The attribute file's name (the .dbf or .DBF beside the .shp).
    std::string attributeFileName() const;

    std::size_t size() const { return m_mukey.size(); }
    const std::string& mukey(std::size_t shape) const { return m_mukey[shape]; }
    const std::string& musym(std::size_t shape) const { return m_musym[shape]; }
    // The survey area's symbol; "" when the table has no AREASYMBOL column.
    const std::string& areasymbol(std::size_t shape) const;
    // The coordinate system as the .prj beside the shapefile gives it ("" without one).
    const std::string& projection() const { return m_projection; }
    // How wide a unit of x is on the ground against one of y (groundAspect of the .prj).
    double groundAspect() const { return m_groundAspect; }
    // How the attribute texts were decoded (the code page and where it came from).
    const std::string& codePage() const { return m_codePage; }
    // The attribute file's field names as stored.
    const std::vector<std::string>& fieldNames() const { return m_fieldNames; }
    const QRectF& bounds(std::size_t shape) const { return m_bounds[shape]; }
    QRectF extent() const { return m_extent; }

    // Rings of a shape: ring r spans points [ringStart[r], ringStart[r + 1]).
    std::uint32_t firstRing(std::size_t shape) const { return m_shapeRing[shape]; }
    std::uint32_t endRing(std::size_t shape) const { return m_shapeRing[shape + 1]; }
    std::uint32_t ringBegin(std::uint32_t ring) const { return m_ringStart[ring]; }
    std::uint32_t ringEnd(std::uint32_t ring) const { return m_ringStart[ring + 1]; }
    const QPointF& point(std::uint32_t index) const { return m_points[index]; }

    // The shape that covers a map point (even-odd over its rings), the last drawn first.
    std::optional<std::size_t> shapeAt(QPointF at) const;

private:
    std::filesystem::path m_path;
    std::string m_attributeFile;
    std::vector<std::string> m_mukey;
    std::vector<std::string> m_musym;
    std::vector<std::string> m_areasymbol;  // empty when there is no such column
    std::string m_projection;
    double m_groundAspect = 1;
    std::string m_codePage;
    std::vector<std::string> m_fieldNames;
    std::vector<QRectF> m_bounds;
    std::vector<std::uint32_t> m_shapeRing {0};
    std::vector<std::uint32_t> m_ringStart {0};
    std::vector<QPointF> m_points;
    QRectF m_extent;
    std::vector<std::string> m_warnings;
};

} // namespace qln::gis
