#include "quillon/gis/DbaseColumn.h"

#include "quillon/gis/GisError.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>

namespace qln::gis {

namespace {

constexpr int kMaxDecimals = 15;
constexpr int kMaxWidth = 254;

bool isNumeric(const Variant& v)
{
    return v.kind() == Variant::Kind::Integer || v.kind() == Variant::Kind::Single ||
           v.kind() == Variant::Kind::Double;
}

// The number in fixed notation: the shortest form that reads back the same, or with
// exactly `decimals` places when given.
std::string fixed(const Variant& v, std::optional<int> decimals)
{
    std::array<char, 400> buffer {};
    std::to_chars_result r {};
    char* begin = buffer.data();
    char* end = buffer.data() + buffer.size();
    switch (v.kind()) {
    case Variant::Kind::Integer:
        r = std::to_chars(begin, end, v.integer());
        if (decimals && *decimals > 0 && r.ec == std::errc()) {
            std::string text(begin, r.ptr);
            return text + "." + std::string(static_cast<std::size_t>(*decimals), '0');
        }
        break;
    case Variant::Kind::Single:
        r = decimals ? std::to_chars(begin, end, v.single(), std::chars_format::fixed, *decimals)
                     : std::to_chars(begin, end, v.single(), std::chars_format::fixed);
        break;
    default:
        r = decimals ? std::to_chars(begin, end, v.real(), std::chars_format::fixed, *decimals)
                     : std::to_chars(begin, end, v.real(), std::chars_format::fixed);
        break;
    }
    if (r.ec != std::errc())
        throw GisError("The rating " + v.text() + " is too long for a dBase number field");
    return std::string(begin, r.ptr);
}

bool finite(const Variant& v)
{
    if (v.kind() == Variant::Kind::Single)
        return std::isfinite(v.single());
    if (v.kind() == Variant::Kind::Double)
        return std::isfinite(v.real());
    return true;
}

// The longest prefix of a UTF-8 text that fits in `bytes` without cutting a character.
std::string cutUtf8(const std::string& text, std::size_t bytes)
{
    if (text.size() <= bytes)
        return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

} // namespace

DbaseColumn columnFor(const std::vector<Variant>& values)
{
    bool numbers = true, logical = true, any = false;
    for (const Variant& v : values) {
        if (v.isMissing())
            continue;
        any = true;
        numbers = numbers && isNumeric(v) && finite(v);
        logical = logical && v.kind() == Variant::Kind::Boolean;
    }
    DbaseColumn column;
    if (!any)
        return column;  // nothing rated: a character field of one blank per row
    if (logical) {
        column.type = 'L';
        return column;
    }
    if (!numbers) {
        for (const Variant& v : values)
            if (!v.isMissing())
                column.width = std::max(column.width, static_cast<int>(std::min<std::size_t>(v.text().size(), kMaxWidth)));
        return column;
    }
    column.type = 'N';
    for (const Variant& v : values) {
        if (v.isMissing())
            continue;
        const std::string text = fixed(v, std::nullopt);
        const auto point = text.find('.');
        if (point != std::string::npos)
            column.decimals = std::max(column.decimals, static_cast<int>(text.size() - point - 1));
    }
    column.decimals = std::min(column.decimals, kMaxDecimals);
    for (const Variant& v : values) {
        if (v.isMissing())
            continue;
        const std::string text = fixed(v, column.decimals);
        if (text.size() > static_cast<std::size_t>(kMaxWidth))
            throw GisError("The rating " + v.text() + " is too long for a dBase number field");
        column.width = std::max(column.width, static_cast<int>(text.size()));
    }
    return column;
}

std::string cellText(const Variant& value, const DbaseColumn& column)
{
    const auto width = static_cast<std::size_t>(column.width);
    if (value.isMissing())
        return std::string(width, ' ');
    std::string text;
    if (column.type == 'N') {
        text = fixed(value, column.decimals);
        return std::string(width - std::min(width, text.size()), ' ') + text;
    }
    if (column.type == 'L')
        text = value.kind() == Variant::Kind::Boolean && value.boolean() ? "T" : "F";
    else
        text = cutUtf8(value.text(), width);
    return text + std::string(width - text.size(), ' ');
}

} // namespace qln::gis
