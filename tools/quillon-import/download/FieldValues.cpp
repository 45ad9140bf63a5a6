#include "FieldValues.h"
#include "quillon/Date.h"
#include "quillon/Text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace qln::download {

using ado::detail::LoadValue;

namespace {


// The digits of text[at, at + count) as a number; -1 unless all are digits.
int digits(std::string_view text, std::size_t at, std::size_t count)
{
    if (at + count > text.size())
        return -1;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::optional<ColumnType> columnType(const std::string& logicalType, const std::string& fieldSize)
{
    const std::string type = lowerAscii(logicalType);
    if (type == "string" || type == "choice")
        return ColumnType{Meaning::Text, fieldSize.empty() ? "VARCHAR" : "VARCHAR(" + fieldSize + ")"};
    if (type == "vtext")
        return ColumnType{Meaning::Text, "LONGTEXT"};
    if (type == "integer")
        return ColumnType{Meaning::Integer, "INTEGER"};
    if (type == "float")
        return ColumnType{Meaning::Real, "DOUBLE"};
    if (type == "boolean")
        return ColumnType{Meaning::Boolean, "BOOLEAN"};
    if (type == "date/time")
        return ColumnType{Meaning::Date, "DATETIME"};
    return std::nullopt;
}

std::optional<std::string> isoDateTime(std::string_view text)
{
    const int month = digits(text, 0, 2), day = digits(text, 3, 2), year = digits(text, 6, 4);
    if (month < 1 || month > 12 || day < 1 || year < 100 || text[2] != '/' || text[5] != '/')
        return std::nullopt;
    if (day > daysInMonth(year, month))
        return std::nullopt;
    int hour = 0, minute = 0, second = 0;
    if (text.size() != 10) {
        if (text.size() != 19 || text[10] != ' ' || text[13] != ':' || text[16] != ':')
            return std::nullopt;
        hour = digits(text, 11, 2);
        minute = digits(text, 14, 2);
        second = digits(text, 17, 2);
        if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
            return std::nullopt;
    }
    // Room for any int the compiler can imagine, though the checks above bound every field.
    char buffer[72];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return std::string(buffer);
}

bool isUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > bytes.size() || (length == 2 && lead < 0xC2) || (length == 4 && lead > 0xF4))
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        const auto second = static_cast<unsigned char>(length > 1 ? bytes[i + 1] : 0);
        // Overlong forms, surrogates and values past U+10FFFF.
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
            (lead == 0xF4 && second > 0x8F))
            return false;
        i += length;
    }
    return true;
}

LoadValue fieldValue(const PipeField& field, Meaning meaning, std::string& storage)
{
    LoadValue value;
    if (field.text.empty() && !field.quoted)
        return value;
    // Numbers, Booleans and dates may come with blanks around them (real files have "No ").
    std::string_view text = field.text;
    if (meaning != Meaning::Text) {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
    }
    const std::string quotedText = "'" + field.text + "'";
    switch (meaning) {
    case Meaning::Text:
        value.kind = LoadValue::Kind::Text;
        value.bytes = field.text;
        return value;
    case Meaning::Integer: {
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value.integer);
        if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
            throw DownloadError(quotedText + " is not a whole number");
        value.kind = LoadValue::Kind::Integer;
        return value;
    }
    case Meaning::Real: {
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value.real);
        if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
            !std::isfinite(value.real))
            throw DownloadError(quotedText + " is not a number");
        value.kind = LoadValue::Kind::Real;
        return value;
    }
    case Meaning::Boolean: {
        const std::string word = lowerAscii(text);
        value.kind = LoadValue::Kind::Integer;
        if (word == "yes" || word == "true" || word == "1")
            value.integer = 1;
        else if (word == "no" || word == "false" || word == "0")
            value.integer = 0;
        else
            throw DownloadError(quotedText + " is neither Yes nor No");
        return value;
    }
    case Meaning::Date: {
        auto iso = isoDateTime(text);
        if (!iso)
            throw DownloadError(quotedText + " is not a date and time (mm/dd/yyyy hh:mm:ss)");
        storage = std::move(*iso);
        value.kind = LoadValue::Kind::Text;
        value.bytes = storage;
        return value;
    }
    }
    return value;
}

} // namespace qln::download
