#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qln::tools {

struct TableCount {
    std::string name;
    std::int64_t rows = 0;
};

// The tables of an SQLite file in the order they were created, with their row counts.
// Errors: EngineError naming the file.
std::vector<TableCount> listTables(const std::filesystem::path& sqliteFile);

} // namespace qln::tools
