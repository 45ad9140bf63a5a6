// quillon-sample: writes a realistic soils database and its matching soils shapefile,
// deterministically from a seed.
#include "Generator.h"
#include "SoilsLayer.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <map>

namespace fs = std::filesystem;
using namespace qln::sample;

namespace {

struct Preset {
    int areas;
    int mapunits;
};

const std::map<std::string, Preset> kPresets = {
    {"sample", {2, 300}},      // bundled for the demo
    {"state", {80, 40000}},    // about 150,000 components and 600,000 horizons
};

// Removes the staging folder unless the run got to the end.
struct StagingGuard {
    fs::path dir;
    ~StagingGuard()
    {
        std::error_code ec;
        if (!dir.empty())
            fs::remove_all(dir, ec);
    }
};

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Writes a soils database in the KORVAL Version 2 layout (SQLite) and a "
                 "matching polygon shapefile, the same for the same seed."};
    std::string preset = "sample";
    std::string output;
    SampleOptions options;
    int areas = 0;
    int mapunits = 0;
    app.add_option("--preset", preset, "size preset and base name of the files: sample (2 survey "
                                       "areas, 300 map units) or state (80 areas, 40,000 map units)")
        ->check(CLI::IsMember({"sample", "state"}));
    app.add_option("--seed", options.seed, "seed of the generator (default 1)");
    app.add_option("--output", output, "folder to write NAME.sqlite and NAME_soils.shp/.shx/.dbf into")
        ->required();
    app.add_option("--areas", areas, "number of survey areas (overrides the preset)")
        ->check(CLI::Range(1, 999));
    app.add_option("--mapunits", mapunits, "number of map units in all (overrides the preset)")
        ->check(CLI::Range(1, 2000000));
    CLI11_PARSE(app, argc, argv);

    const Preset& p = kPresets.at(preset);
    options.name = preset;
    options.areas = areas > 0 ? areas : p.areas;
    options.mapunits = mapunits > 0 ? mapunits : p.mapunits;
    if (options.mapunits < options.areas) {
        std::cerr << "quillon-sample: --mapunits " << options.mapunits
                  << " is fewer than one map unit per survey area (" << options.areas << ")\n";
        return 2;
    }

    try {
        const fs::path dir(output);
        fs::create_directories(dir);
        // Everything is written into a staging folder beside the result and moved into
        // place at the end, so a failed run leaves the previous files untouched.
        StagingGuard staging{dir / (".quillon-sample-" + std::to_string(::getpid()))};
        fs::remove_all(staging.dir);
        fs::create_directory(staging.dir);

        const std::string dbName = options.name + ".sqlite";
        const std::string layerBase = options.name + "_soils";
        const SurveyLayout layout = writeSoilsDatabase((staging.dir / dbName).string(), options);
        const LayerCounts counts =
            writeSoilsLayer((staging.dir / layerBase).string(), layout, options.seed);

        for (const auto& entry : fs::directory_iterator(staging.dir))
            fs::rename(entry.path(), dir / entry.path().filename());

        std::size_t units = 0;
        for (const auto& a : layout.areas)
            units += a.size();
        std::cout << "wrote " << (dir / dbName).string() << ": " << layout.areas.size()
                  << " survey areas, " << units << " map units\n"
                  << "wrote " << (dir / (layerBase + ".shp")).string() << ": " << counts.polygons
                  << " polygons (" << counts.nullKeys << " without mukey, " << counts.unknownKeys
                  << " of map units not in the database, " << counts.unmapped
                  << " map units not drawn)\n";
    } catch (const std::exception& e) {
        std::cerr << "quillon-sample: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
