#pragma once

#include "ResultWriter.h"
#include "quillon/ado/Recordset.h"
#include "quillon/engine/clsQuillon.h"
#include "quillon/viewer/RunOptions.h"

#include <filesystem>
#include <ostream>
#include <string>

namespace qln::rate {

// The choices of one run: the files, and the options the viewer's panel also offers.
struct RateOptions {
    std::filesystem::path soils;
    std::filesystem::path rules;
    std::string mapunits = "all";  // "all" or a dBase file
    viewer::RunOptions run;
};

// The rules database bundled with the program, beside it in ../share/quillon.
std::filesystem::path bundledRules(const std::filesystem::path& executable);

// The connection string of a soils file, or of a soils database on a server
// ("postgresql://host:port/database?schema=name").
std::string soilsConnectString(const std::filesystem::path& soils);

// The query of the map units of a run over the whole soils database.
inline constexpr const char* kAllMapunitsQuery = "select distinct(mukey),musym from mapunit ";

// The map units to rate: every map unit of the soils database, or the distinct (mukey,
// musym) pairs with a mukey of a GIS attribute file.
ado::Recordset loadMapunits(engine::clsQuillon& engine, const RateOptions& options);

// The rules tree: folders, and each attribute with its key, methods and options.
void listAttributes(engine::clsQuillon& engine, std::ostream& out);

} // namespace qln::rate
