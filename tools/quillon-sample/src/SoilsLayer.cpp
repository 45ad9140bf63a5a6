#include "SoilsLayer.h"

#include "Random.h"
#include "quillon/shapelib/Handles.h"

#include <shapefil.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

namespace qln::sample {
namespace {

constexpr std::uint64_t kLayerStream = 3;

struct Row {
    std::string mukey;   // empty: Null
    std::string musym;
};

const char* kGeographicWkt =
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
    "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";

} // namespace

LayerCounts writeSoilsLayer(const std::string& base, const SurveyLayout& layout, std::uint64_t seed)
{
    std::unique_ptr<SHPInfo, shapelib::ShpClose> shp(SHPCreate((base + ".shp").c_str(), SHPT_POLYGON));
    if (!shp)
        throw std::runtime_error("cannot create " + base + ".shp");
    std::unique_ptr<DBFInfo, shapelib::DbfClose> dbf(DBFCreateEx((base + ".dbf").c_str(), "UTF-8"));
    if (!dbf)
        throw std::runtime_error("cannot create " + base + ".dbf");
    const int fArea = DBFAddField(dbf.get(), "AREASYMBOL", FTString, 20, 0);
    const int fSym = DBFAddField(dbf.get(), "MUSYM", FTString, 10, 0);
    const int fKey = DBFAddField(dbf.get(), "MUKEY", FTString, 30, 0);
    if (fArea < 0 || fKey < 0 || fSym < 0)
        throw std::runtime_error("cannot add the attribute columns to " + base + ".dbf");

    LayerCounts counts;
    std::int64_t foreignKey = layout.lastMukey + 5001;
    int record = 0;
    for (std::size_t a = 0; a < layout.areas.size(); ++a) {
        Random r = Random::derived(seed, kLayerStream, a);
        std::vector<Row> rows;
        const auto& units = layout.areas[a];
        for (std::size_t u = 0; u < units.size(); ++u) {
            // About one map unit in a hundred (and at least one per area) is not drawn.
            if ((u == units.size() / 2 && units.size() >= 4) || r.chance(0.01)) {
                ++counts.unmapped;
                continue;
            }
            const int n = r.between(1, 3);
            for (int k = 0; k < n; ++k)
                rows.push_back({units[u].mukey, units[u].musym});
        }
        // Slivers without a key and delineations of a neighbouring survey's map units.
        const int nulls = 1 + int(rows.size() / 150);
        const int foreign = 1 + int(rows.size() / 300);
        for (int k = 0; k < nulls; ++k)
            rows.insert(rows.begin() + std::ptrdiff_t(r.index(rows.size() + 1)), Row{"", ""});
        for (int k = 0; k < foreign; ++k)
            rows.insert(rows.begin() + std::ptrdiff_t(r.index(rows.size() + 1)),
                        Row{std::to_string(foreignKey++), "NOTCOM"});
        counts.nullKeys += nulls;
        counts.unknownKeys += foreign;

        // A grid of cells whose shared corners are jittered, so neighbours fit without gaps.
        const int cols = std::max(1, int(std::ceil(std::sqrt(double(rows.size()) * 1.5))));
        const int lines = int((rows.size() + std::size_t(cols) - 1) / std::size_t(cols));
        const double cell = 0.004;
        const double x0 = -96.5 + double(a % 10) * (cols + 2) * cell;
        const double y0 = 41.0 + double(a / 10) * (lines + 2) * cell;
        std::vector<double> cx((cols + 1) * (lines + 1)), cy(cx.size());
        for (int j = 0; j <= lines; ++j)
            for (int i = 0; i <= cols; ++i) {
                const bool edge = i == 0 || j == 0 || i == cols || j == lines;
                const std::size_t v = std::size_t(j * (cols + 1) + i);
                cx[v] = x0 + i * cell + (edge ? 0.0 : r.real(-0.3, 0.3) * cell);
                cy[v] = y0 + j * cell + (edge ? 0.0 : r.real(-0.3, 0.3) * cell);
            }
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const int i = int(k) % cols;
            const int j = int(k) / cols;
            const std::size_t corners[5] = {std::size_t(j * (cols + 1) + i),
                                            std::size_t((j + 1) * (cols + 1) + i),
                                            std::size_t((j + 1) * (cols + 1) + i + 1),
                                            std::size_t(j * (cols + 1) + i + 1),
                                            std::size_t(j * (cols + 1) + i)};
            double x[5], y[5];
            for (int c = 0; c < 5; ++c) {
                x[c] = cx[corners[c]];
                y[c] = cy[corners[c]];
            }
            std::unique_ptr<SHPObject, shapelib::ObjDestroy> obj(
                SHPCreateSimpleObject(SHPT_POLYGON, 5, x, y, nullptr));
            SHPRewindObject(shp.get(), obj.get());
            if (SHPWriteObject(shp.get(), -1, obj.get()) < 0)
                throw std::runtime_error("cannot write a shape to " + base + ".shp");
            const bool ok = DBFWriteStringAttribute(dbf.get(), record, fArea, layout.areaSymbols.at(a).c_str()) &&
                (rows[k].mukey.empty()
                ? DBFWriteNULLAttribute(dbf.get(), record, fKey) && DBFWriteNULLAttribute(dbf.get(), record, fSym)
                : DBFWriteStringAttribute(dbf.get(), record, fKey, rows[k].mukey.c_str())
                      && DBFWriteStringAttribute(dbf.get(), record, fSym, rows[k].musym.c_str()));
            if (!ok)
                throw std::runtime_error("cannot write a record to " + base + ".dbf");
            ++record;
        }
    }
    counts.polygons = record;
    shp.reset();
    dbf.reset();
    std::ofstream prj(base + ".prj", std::ios::binary);
    prj << kGeographicWkt;
    if (!prj.flush())
        throw std::runtime_error("cannot write " + base + ".prj");
    return counts;
}

} // namespace qln::sample
