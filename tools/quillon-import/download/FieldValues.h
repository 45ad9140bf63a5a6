#pragma once

#include "PipeRecords.h"
#include "TableWriter.h"

#include <optional>
#include <string>

namespace qln::download {

// What the values of a column mean, from the layout's logical data type.
enum class Meaning { Text, Integer, Real, Boolean, Date };

// The meaning of a logical data type ("String", "Choice", "Vtext", "Integer", "Float",
// "Boolean", "Date/Time") and the declared SQLite type an Access mirror gives such a column;
// nothing for a type the layout does not define.
struct ColumnType {
    Meaning meaning = Meaning::Text;
    std::string declared;
};
std::optional<ColumnType> columnType(const std::string& logicalType, const std::string& fieldSize);

// "YYYY-MM-DD HH:MM:SS" of "mm/dd/yyyy hh:mm:ss" (or the date alone, at midnight), as the
// Access mirror writes dates; nothing for anything that is not a real date and time.
std::optional<std::string> isoDateTime(std::string_view text);

// Whether the bytes are well-formed UTF-8.
bool isUtf8(std::string_view bytes);

// Turns a field into the value stored for it; storage keeps the bytes a text points into.
// An unquoted empty field is Null. A value its meaning cannot hold throws DownloadError
// with the reason alone ("'x' is not a number"); the caller names file, line and field.
ado::detail::LoadValue fieldValue(const PipeField& field, Meaning meaning, std::string& storage);

} // namespace qln::download
