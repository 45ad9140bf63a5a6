#pragma once

// A tiny soils shapefile and results database for the map's tests: a row of unit squares,
// shape i at x = i .. i+1, with mukey "k<i>" and musym "S<i>" (a hole in shape 0); shape
// `notFinite`, when given, has a NaN corner and so a NaN bounding box.

#include "../support/SqliteFile.h"

#include <shapefil.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace qln::test {

inline std::filesystem::path writeSquares(const std::filesystem::path& folder, int count, bool withMukey = true,
                                          int notFinite = -1)
{
    const std::filesystem::path shp = folder / "squares.shp";
    SHPHandle h = SHPCreate(shp.c_str(), SHPT_POLYGON);
    DBFHandle d = DBFCreateEx((folder / "squares.dbf").c_str(), "UTF-8");
    const int key = DBFAddField(d, withMukey ? "mukey" : "other", FTString, 20, 0);
    const int sym = DBFAddField(d, "musym", FTString, 10, 0);
    for (int i = 0; i < count; ++i) {
        std::vector<double> x {double(i), double(i), double(i + 1), double(i + 1), double(i)};
        std::vector<double> y {0, 1, 1, 0, 0};
        std::vector<int> starts {0};
        if (i == notFinite)
            x[2] = std::nan("");
        if (i == 0) {  // a hole in the first square, wound the other way
            for (double hx : {0.4, 0.6, 0.6, 0.4, 0.4})
                x.push_back(hx);
            for (double hy : {0.4, 0.4, 0.6, 0.6, 0.4})
                y.push_back(hy);
            starts.push_back(5);
        }
        SHPObject* o = SHPCreateObject(SHPT_POLYGON, -1, static_cast<int>(starts.size()), starts.data(), nullptr,
                                       static_cast<int>(x.size()), x.data(), y.data(), nullptr, nullptr);
        SHPWriteObject(h, -1, o);
        SHPDestroyObject(o);
        DBFWriteStringAttribute(d, i, key, ("k" + std::to_string(i)).c_str());
        DBFWriteStringAttribute(d, i, sym, ("S" + std::to_string(i)).c_str());
    }
    SHPClose(h);
    DBFClose(d);
    return shp;
}

// MU_Data with a text column drclass, a number column ph and a column with a blank in its name.
inline std::filesystem::path writeResults(const std::filesystem::path& file, int count)
{
    std::string sql = "CREATE TABLE MU_Data (mukey TEXT, musym TEXT, drclass TEXT, ph SINGLE)";
    for (int i = 0; i < count; ++i) {
        const std::string dr = i % 3 == 0 ? "'Well drained'" : i % 3 == 1 ? "'Poorly drained'" : "NULL";
        sql += "; INSERT INTO MU_Data VALUES ('k" + std::to_string(i) + "', 'S" + std::to_string(i) + "', " + dr +
               ", " + (i == 1 ? std::string("NULL") : std::to_string(4 + i)) + ")";
    }
    runSql(file, sql);
    return file;
}

} // namespace qln::test
