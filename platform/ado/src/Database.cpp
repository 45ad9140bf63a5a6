#include "Database.h"

#include "quillon/Error.h"

#include <cctype>
#include <charconv>

namespace qln::ado::detail {

std::string upper(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

namespace {

// The number at `at` (no blanks, no locale), moving past it; false when there is none.
template <typename Number>
bool readNumber(std::string_view text, std::size_t& at, Number& value)
{
    const auto result = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (result.ec != std::errc())
        return false;
    at = static_cast<std::size_t>(result.ptr - text.data());
    return true;
}

bool readChar(std::string_view text, std::size_t& at, char wanted)
{
    if (at >= text.size() || text[at] != wanted)
        return false;
    ++at;
    return true;
}

} // namespace

std::optional<Date> parseIsoDate(std::string_view text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double second = 0;
    std::size_t at = 0;
    if (!readNumber(text, at, year) || !readChar(text, at, '-') || !readNumber(text, at, month) ||
        !readChar(text, at, '-') || !readNumber(text, at, day) || month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    if (at == text.size())
        return Date::at({year, month, day});
    if (text[at] != ' ' && text[at] != 'T')
        return std::nullopt;
    ++at;
    if (!readNumber(text, at, hour) || !readChar(text, at, ':') || !readNumber(text, at, minute))
        return Date::at({year, month, day});
    if (readChar(text, at, ':'))
        readNumber(text, at, second);
    return Date::at({year, month, day}, hour * 3600.0 + minute * 60.0 + second);
}


void raiseProviderError(std::string description)
{
    throw EngineError(kProviderError, kProviderSource, std::move(description));
}

FieldInfo Database::fieldForDeclaredType(std::string name, std::string_view declaredType)
{
    FieldInfo info{std::move(name), adVariant, 0, adFldMayBeNull | adFldUpdatable};
    const std::string type = upper(declaredType);
    long size = 0;
    if (const auto open = type.find('('); open != std::string::npos) {
        const char* first = type.data() + open + 1;
        std::from_chars(first, type.data() + type.size(), size);
    }
    auto has = [&](std::string_view word) { return type.find(word) != std::string::npos; };
    if (type.empty()) {
        info.type = adVariant;
    } else if (has("BOOL") || has("BIT") || has("YESNO") || has("LOGICAL")) {
        info.type = adBoolean;
        info.definedSize = 2;
    } else if (has("MEMO") || has("LONGTEXT") || has("CLOB")) {
        info.type = adLongVarChar;
        info.definedSize = 1073741823;
    } else if (type.rfind("CHAR", 0) == 0 || type.rfind("NCHAR", 0) == 0) {
        info.type = adChar;
        info.definedSize = size > 0 ? size : 1;
        info.attributes |= adFldFixed;
    } else if (has("CHAR") || has("TEXT") || has("STRING")) {
        info.type = adVarChar;
        info.definedSize = size > 0 ? size : 255;
    } else if (has("BIGINT")) {
        info.type = adBigInt;
        info.definedSize = 8;
    } else if (has("SMALLINT") || has("SHORT") || has("TINYINT") || has("BYTE")) {
        info.type = adSmallInt;
        info.definedSize = 2;
    } else if (has("INT") || has("LONG") || has("COUNTER")) {
        info.type = adInteger;
        info.definedSize = 4;
    } else if (has("SINGLE") || has("FLOAT4")) {
        info.type = adSingle;
        info.definedSize = 4;
    } else if (has("REAL") || has("DOUB") || has("FLOA") || has("NUMERIC") || has("DECIMAL") || has("CURRENCY") ||
               has("MONEY")) {
        info.type = adDouble;
        info.definedSize = 8;
    } else if (has("DATE") || has("TIME")) {
        info.type = adDate;
        info.definedSize = 8;
    }
    return info;
}

std::shared_ptr<Table> Database::readRows(std::string_view sql)
{
    auto table = query(sql);
    if (table) {
        table->database.reset();
        table->sourceTable.clear();
        table->rowids.clear();
    }
    return table;
}

} // namespace qln::ado::detail
