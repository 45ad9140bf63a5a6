#pragma once

#include "TableWriter.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qln::ado::detail {

// Source text of the errors the Access import raises.
inline constexpr const char* kAccessImportSource = "Quillon Access import";

// A column of an Access table and the declared SQLite type that stands for it.
using AccessColumn = LoadColumn;

// One value of the current row. Text (UTF-8) and Blob bytes stay valid until the next row
// is read or another table is opened.
using AccessValue = LoadValue;

// Reads the user tables of an Access file (.mdb or .accdb) row by row through libmdb.
// libmdb trusts the file, so this runs only in the reader program (AccessCopy.h). Every
// failure is an EngineError whose description says what is wrong with the file (and
// names the table and column where it applies); the caller names the file.
class AccessReader {
public:
    explicit AccessReader(const std::filesystem::path& file);
    ~AccessReader();
    AccessReader(const AccessReader&) = delete;
    AccessReader& operator=(const AccessReader&) = delete;

    // The user tables in catalogue order, names exactly as stored.
    const std::vector<std::string>& tableNames() const;

    // Starts reading a table from its first row; ends the reading of the previous one.
    void openTable(std::size_t index);
    const std::vector<AccessColumn>& columns() const;
    // Moves to the next row; false after the last one.
    bool nextRow();
    // The values of the current row, one per column.
    const std::vector<AccessValue>& row() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace qln::ado::detail
