#pragma once

// Reading back the packages (.docx) the program writes. Users link libzip.

#include <zip.h>

#include <filesystem>
#include <string>

namespace qln::test {

// One part of a zip package, "" when the package or the part is missing.
inline std::string zipPart(const std::filesystem::path& package, const char* name)
{
    int code = 0;
    zip_t* archive = zip_open(package.c_str(), ZIP_RDONLY, &code);
    if (!archive)
        return {};
    std::string data;
    zip_stat_t stat;
    if (zip_stat(archive, name, 0, &stat) == 0) {
        data.resize(stat.size);
        zip_file_t* file = zip_fopen(archive, name, 0);
        zip_fread(file, data.data(), stat.size);
        zip_fclose(file);
    }
    zip_discard(archive);
    return data;
}

} // namespace qln::test
