// Soils shapefiles of the map (.shp, .shx, .dbf and a .cpg in one input, ShapefileInput.h):
// read whole into a layer whose rings stay inside its points, or refused with one GisError.

#include "FuzzCheck.h"
#include "ShapefileInput.h"
#include "quillon/gis/GisError.h"
#include "quillon/gis/SoilsLayer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// One folder per fuzzing process.
const fs::path& scratchFolder()
{
    static const fs::path folder = [] {
        fs::path made = fs::temp_directory_path() / ("quillon-fuzz-shapefile-" + std::to_string(::getpid()));
        fs::create_directories(made);
        return made;
    }();
    return folder;
}

struct Cleanup {
    ~Cleanup()
    {
        std::error_code ignored;
        fs::remove_all(scratchFolder(), ignored);
    }
} cleanup;

void checkLayer(const qln::gis::SoilsLayer& layer)
{
    QUILLON_FUZZ_CHECK(layer.size() > 0);
    std::uint32_t previousEnd = 0;
    for (std::size_t s = 0; s < layer.size(); ++s) {
        QUILLON_FUZZ_CHECK(layer.firstRing(s) <= layer.endRing(s));
        for (std::uint32_t r = layer.firstRing(s); r < layer.endRing(s); ++r) {
            QUILLON_FUZZ_CHECK(layer.ringBegin(r) == previousEnd);
            QUILLON_FUZZ_CHECK(layer.ringBegin(r) <= layer.ringEnd(r));
            previousEnd = layer.ringEnd(r);
        }
        (void)layer.mukey(s).size();
        (void)layer.musym(s).size();
        (void)layer.areasymbol(s).size();
    }
    (void)layer.shapeAt(layer.extent().center());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto pieces = qln::fuzz::splitShapefileInput(input);
    const fs::path shp = scratchFolder() / "soils.shp";
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        fs::path file = shp;
        file.replace_extension(qln::fuzz::kShapefileExtensions[i]);
        std::remove(file.c_str());
        if (!pieces[i])
            continue;
        std::FILE* out = std::fopen(file.c_str(), "wb");
        if (!out)
            return 0;
        std::fwrite(pieces[i]->data(), 1, pieces[i]->size(), out);
        std::fclose(out);
    }
    try {
        checkLayer(qln::gis::SoilsLayer::load(shp));
    } catch (const qln::gis::GisError&) {
    }
    return 0;
}
