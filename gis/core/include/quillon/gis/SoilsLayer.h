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
    // Reads a polygon shapefile (.shp, .shx, .dbf). Throws GisError naming the file when it
    // cannot be read, holds no polygons, is damaged, or its table has no mukey column.
    static SoilsLayer load(const std::filesystem::path& shp);

    const std::filesystem::path& path() const { return m_path; }
    // The shapefile's base name, the soils theme's title.
    std::string title() const;
    // The attribute file's name (the .dbf beside the .shp).
    std::string attributeFileName() const;

    std::size_t size() const { return m_mukey.size(); }
    const std::string& mukey(std::size_t shape) const { return m_mukey[shape]; }
    const std::string& musym(std::size_t shape) const { return m_musym[shape]; }
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
    std::vector<std::string> m_mukey;
    std::vector<std::string> m_musym;
    std::vector<QRectF> m_bounds;
    std::vector<std::uint32_t> m_shapeRing {0};
    std::vector<std::uint32_t> m_ringStart {0};
    std::vector<QPointF> m_points;
    QRectF m_extent;
};

} // namespace qln::gis
