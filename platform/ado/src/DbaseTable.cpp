#include "quillon/ado/DbaseTable.h"

#include "quillon/ado/CodePage.h"

#include "Database.h"
#include "DbaseHeader.h"

#include <shapefil.h>

#include "quillon/InputFile.h"
#include "quillon/Text.h"
#include "quillon/shapelib/Handles.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string_view>
#include <type_traits>
#include <memory>
#include <string>

namespace qln::ado {
namespace {

// The whole text as a number of type T, without the C locale; a leading '+' is allowed.
template <typename T>
std::optional<T> wholeNumber(std::string_view text)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// The number of a numeric cell, read without the locale (a cell always has a point). A
// cell that is not a number is a damaged file, never 0.
template <typename Number>
Variant numberCell(const std::string& text, const std::filesystem::path& file, int row, int field)
{
    const std::optional<Number> value = wholeNumber<Number>(trimBlanks(text));
    bool finite = value.has_value();
    if constexpr (std::is_floating_point_v<Number>)
        finite = finite && std::isfinite(*value);
    if (!finite)
        detail::raiseProviderError("The dBase table " + file.string() + " holds \"" + text + "\" in field " +
                                   std::to_string(field + 1) + " of record " + std::to_string(row + 1) +
                                   ", which is not a number.");
    return Variant(*value);
}

// shapelib reports damaged reads through this hook; the reader turns the first one into
// its own error instead of letting the library print it.
thread_local std::string t_libraryError;

void keepLibraryError(const char* message)
{
    if (t_libraryError.empty())
        t_libraryError = message ? message : "unknown error";
}

Variant readCell(DBFInfo* handle, const std::filesystem::path& file, int row, int field, DBFFieldType type,
                 TextDecoder& decoder)
{
    if (DBFIsAttributeNULL(handle, row, field))
        return Variant::null();
    const char* raw = DBFReadStringAttribute(handle, row, field);
    const std::string text = raw ? raw : "";
    switch (type) {
    case FTInteger:
        return numberCell<long long>(text, file, row, field);
    case FTDouble:
        return numberCell<double>(text, file, row, field);
    case FTLogical:
        return Variant(text == "T" || text == "t" || text == "Y" || text == "y");
    case FTDate: {
        // YYYYMMDD.
        const std::string_view digits(text);
        const auto year = digits.size() == 8 ? wholeNumber<long>(digits.substr(0, 4)) : std::nullopt;
        const auto month = digits.size() == 8 ? wholeNumber<long>(digits.substr(4, 2)) : std::nullopt;
        const auto day = digits.size() == 8 ? wholeNumber<long>(digits.substr(6, 2)) : std::nullopt;
        if (!year || !month || !day || *year < 0 || *month < 1 || *month > 12 || *day < 1 || *day > 31)
            return Variant::null();
        return Variant(Date::at({*year, static_cast<int>(*month), static_cast<int>(*day)}));
    }
    default:
        return Variant(decoder.decode(text));
    }
}

[[noreturn]] void failTable(const std::filesystem::path& file, const std::string& what)
{
    detail::raiseProviderError("Cannot read the dBase table " + file.string() + ": " + what);
}

// Checks the header against the file's length before shapelib trusts it, so that a cut or
// lying file gives one error instead of a partial table or an allocation as large as the
// header claims.
void checkHeader(const std::filesystem::path& file)
{
    if (const auto why = irregularInput(file))
        failTable(file, *why);
    std::ifstream in(file, std::ios::binary);
    std::error_code error;
    const std::uintmax_t length = std::filesystem::file_size(file, error);
    if (!in || error)
        failTable(file, "it cannot be opened");
    std::string head(detail::kDbaseHeaderReadLimit, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    if (const auto problem = detail::dbaseHeaderProblem(head, length))
        failTable(file, *problem);
}

} // namespace

Recordset readDbaseTable(const std::filesystem::path& file)
{
    checkHeader(file);
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.Error = keepLibraryError;
    t_libraryError.clear();
    std::unique_ptr<DBFInfo, shapelib::DbfClose> handle(DBFOpenLL(file.c_str(), "rb", &hooks));
    if (!handle)
        failTable(file, t_libraryError.empty() ? "it cannot be opened" : t_libraryError);
    TextDecoder decoder(DBFGetCodePage(handle.get()));
    const int fieldCount = DBFGetFieldCount(handle.get());
    Recordset table;
    std::vector<DBFFieldType> types;
    for (int f = 0; f < fieldCount; ++f) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0, decimals = 0;
        const DBFFieldType type = DBFGetFieldInfo(handle.get(), f, name, &width, &decimals);
        types.push_back(type);
        switch (type) {
        case FTInteger:
            table.appendField(name, adInteger, 4, adFldUpdatable);
            break;
        case FTDouble:
            table.appendField(name, adDouble, 8, adFldUpdatable);
            break;
        case FTLogical:
            table.appendField(name, adBoolean, 2, adFldUpdatable);
            break;
        case FTDate:
            table.appendField(name, adDate, 8, adFldUpdatable);
            break;
        default:
            table.appendField(name, adVarChar, width, adFldUpdatable);
            break;
        }
    }
    table.open();
    const int rows = DBFGetRecordCount(handle.get());
    for (int row = 0; row < rows; ++row) {
        if (DBFIsRecordDeleted(handle.get(), row))
            continue;
        table.addNew();
        for (int f = 0; f < fieldCount; ++f)
            table.setValue(f, readCell(handle.get(), file, row, f, types[static_cast<std::size_t>(f)], decoder));
        if (!t_libraryError.empty())
            failTable(file, t_libraryError);
    }
    if (table.recordCount() > 0)
        table.moveFirst();
    return table;
}

} // namespace qln::ado
