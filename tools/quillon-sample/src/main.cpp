// quillon-sample: writes a realistic soils database and its matching soils shapefile,
// deterministically from a seed.
#include "Generator.h"
#include "SoilsLayer.h"

#include <quillon/TemporaryFolder.h>
#include <quillon/tools/CommandLine.h>

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace qln::sample;
using namespace qln::tools;

namespace {

struct Preset {
    int areas;
    int mapunits;
};

const std::map<std::string, Preset> kPresets = {
    {"sample", {2, 300}},      // bundled for the demo
    {"state", {80, 40000}},    // about 150,000 components and 600,000 horizons
};

// A folder beside the result, made exclusively, that the files are written into first; it
// is removed with whatever is left in it however the run ends.

// Moves every staged file over its namesake in `dir`. The files it replaces are set aside
// first; when one move fails, everything moved is taken back and the old files restored,
// so the folder holds the old set or the new one, never a mix.
void moveIntoPlace(const fs::path& staging, const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(staging))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    const fs::path previous = staging / ".previous";
    fs::create_directory(previous);

    struct Moved {
        std::string name;
        bool replaced = false;  // an old file was set aside
        bool placed = false;    // the new file is in place
    };
    std::vector<Moved> moved;
    try {
        for (const auto& name : names) {
            Moved& step = moved.emplace_back(Moved{name});
            const auto status = fs::symlink_status(dir / name);
            if (fs::is_directory(status))  // never set aside, and so lose, a folder of the user's
                throw fs::filesystem_error("cannot replace", dir / name, std::make_error_code(std::errc::is_a_directory));
            if (fs::exists(status)) {
                fs::rename(dir / name, previous / name);
                step.replaced = true;
            }
            fs::rename(staging / name, dir / name);
            step.placed = true;
        }
    } catch (...) {
        std::error_code ignored;
        for (auto step = moved.rbegin(); step != moved.rend(); ++step) {
            if (step->placed)
                fs::rename(dir / step->name, staging / step->name, ignored);
            if (step->replaced)
                fs::rename(previous / step->name, dir / step->name, ignored);
        }
        throw;
    }
}

// The seed as a whole number from 0 up, read without clamping: "-1" or a number past
// 2^64 - 1 is refused, not wrapped to another seed.
std::optional<std::uint64_t> parseSeed(const std::string& text)
{
    std::uint64_t seed = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, seed);
    if (text.empty() || result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return seed;
}

} // namespace

int main(int argc, char** argv)
{
    // A closed pipe is a write error with a message and exit 74, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    CLI::App app{"Writes a soils database in the KORVAL Version 2 layout (SQLite) and a "
                 "matching polygon shapefile, the same for the same seed."};
    std::string preset = "sample";
    std::string output;
    std::string seed = "1";
    SampleOptions options;
    int areas = 0;
    int mapunits = 0;
    app.add_option("--preset", preset, "size preset and base name of the files: sample (2 survey "
                                       "areas, 300 map units) or state (80 areas, 40,000 map units)")
        ->check(CLI::IsMember({"sample", "state"}));
    app.add_option("--seed", seed, "seed of the generator, 0 to 18446744073709551615 (default 1)");
    app.add_option("--output", output, "folder to write NAME.sqlite and NAME_soils.shp/.shx/.dbf into")
        ->required();
    app.add_option("--areas", areas, "number of survey areas (overrides the preset)")
        ->check(CLI::Range(1, 999));
    app.add_option("--mapunits", mapunits, "number of map units in all (overrides the preset)")
        ->check(CLI::Range(1, 2000000));
    app.footer("Exit status: 0 done, 64 a wrong option, 74 the files could not be written.");
    if (const auto status = parseCommandLine(app, argc, argv, "quillon-sample"))
        return *status;

    const auto parsedSeed = parseSeed(seed);
    if (!parsedSeed) {
        std::cerr << "quillon-sample: --seed takes a whole number from 0 to 18446744073709551615, not \"" << seed
                  << "\"\n";
        return kExitUsage;
    }
    options.seed = *parsedSeed;
    const Preset& p = kPresets.at(preset);
    options.name = preset;
    options.areas = areas > 0 ? areas : p.areas;
    options.mapunits = mapunits > 0 ? mapunits : p.mapunits;
    if (options.mapunits < options.areas) {
        std::cerr << "quillon-sample: --mapunits " << options.mapunits
                  << " is fewer than one map unit per survey area (" << options.areas << ")\n";
        return kExitUsage;
    }

    try {
        const fs::path dir(output);
        fs::create_directories(dir);
        // Everything is written into a staging folder beside the result and moved into
        // place at the end, so a failed run leaves the previous files untouched.
        const qln::TemporaryFolder staging(dir, ".quillon-sample-");
        const std::string dbName = options.name + ".sqlite";
        const std::string layerBase = options.name + "_soils";
        const SurveyLayout layout = writeSoilsDatabase((staging.path() / dbName).string(), options);
        const LayerCounts counts = writeSoilsLayer((staging.path() / layerBase).string(), layout, options.seed);
        moveIntoPlace(staging.path(), dir);

        std::size_t units = 0;
        for (const auto& a : layout.areas)
            units += a.size();
        std::cout << "wrote " << (dir / dbName).string() << ": " << layout.areas.size()
                  << " survey areas, " << units << " map units\n"
                  << "wrote " << (dir / (layerBase + ".shp")).string() << ": " << counts.polygons
                  << " polygons (" << counts.nullKeys << " without mukey, " << counts.unknownKeys
                  << " of map units not in the database, " << counts.unmapped
                  << " map units not drawn)\n";
        if (!std::cout.flush())
            throw std::runtime_error("cannot write standard output");
    } catch (const std::exception& e) {
        std::cerr << "quillon-sample: " << e.what() << '\n';
        return kExitOutput;
    }
    return 0;
}
