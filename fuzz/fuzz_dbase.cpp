// dBase files: read whole into a record set, or refused with one engine error.

#include "quillon/Error.h"
#include "quillon/ado/DbaseTable.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// One file per fuzzing process, named .dbf as shapelib requires.
const std::filesystem::path& scratchFile()
{
    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("quillon-fuzz-dbase-" + std::to_string(::getpid()) + ".dbf");
    return file;
}

struct Cleanup {
    ~Cleanup() { std::remove(scratchFile().c_str()); }
} cleanup;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        std::FILE* out = std::fopen(scratchFile().c_str(), "wb");
        if (!out)
            return 0;
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
    try {
        qln::ado::Recordset table = qln::ado::readDbaseTable(scratchFile());
        for (; !table.eof(); table.moveNext())
            for (int f = 0; f < table.fieldCount(); ++f)
                (void)table.value(f).text();
    } catch (const qln::EngineError&) {
    }
    return 0;
}
