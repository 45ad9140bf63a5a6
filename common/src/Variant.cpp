#include "quillon/Variant.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace qln {
namespace {

std::string_view trimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Shortest decimal text that reads back to the same value.
template <typename T>
std::string shortest(T value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace

bool Variant::isNumber() const
{
    switch (kind()) {
    case Kind::Boolean:
    case Kind::Integer:
    case Kind::Single:
    case Kind::Double:
    case Kind::Date:
        return true;
    default:
        return false;
    }
}

std::optional<double> Variant::number() const
{
    switch (kind()) {
    case Kind::Boolean:
        return boolean() ? -1.0 : 0.0;
    case Kind::Integer:
        return static_cast<double>(integer());
    case Kind::Single:
        return static_cast<double>(single());
    case Kind::Double:
        return real();
    case Kind::Date:
        return date().serial;
    case Kind::Text:
        if (isNumericText(str()))
            return numericValue(str());
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

std::string Variant::text() const
{
    switch (kind()) {
    case Kind::Empty:
    case Kind::Null:
        return {};
    case Kind::Boolean:
        return boolean() ? "True" : "False";
    case Kind::Integer:
        return std::to_string(integer());
    case Kind::Single: {
        // Seven significant digits as "%.7g" gives them, with a point whatever the locale.
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(single()),
                                          std::chars_format::general, 7);
        return std::string(buffer, result.ptr);
    }
    case Kind::Double:
        return shortest(real());
    case Kind::Text:
        return str();
    case Kind::Date:
        return date().text();
    }
    return {};
}

bool isNumericText(std::string_view text)
{
    const auto trimmed = trimBlanks(text);
    if (trimmed.empty())
        return false;
    std::string_view body = trimmed;
    if (body.front() == '+')
        body.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(body.data(), body.data() + body.size(), value,
                                        std::chars_format::general);
    return result.ec == std::errc() && result.ptr == body.data() + body.size() && std::isfinite(value);
}

double numericValue(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    // The longest prefix that forms a decimal number: sign, digits, point, digits, exponent.
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t digitsStart = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
    }
    if (i == digitsStart || (i == digitsStart + 1 && text[digitsStart] == '.'))
        return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
                ++j;
            i = j;
        }
    }
    std::string_view number = text.substr(start, i - start);
    if (!number.empty() && number.front() == '+')
        number.remove_prefix(1);
    double value = 0;
    std::from_chars(number.data(), number.data() + number.size(), value);
    return value;
}

namespace {

// Empty reads as "" beside a text and as 0 beside anything else.
Variant fillEmpty(const Variant& value, const Variant& other)
{
    if (!value.isEmpty())
        return value;
    if (other.isText() || other.isEmpty())
        return Variant(std::string());
    return Variant(0);
}

} // namespace

std::optional<std::partial_ordering> compare(const Variant& a, const Variant& b)
{
    if (a.isNull() || b.isNull())
        return std::nullopt;
    const Variant left = fillEmpty(a, b);
    const Variant right = fillEmpty(b, a);
    if (left.isText() && right.isText())
        return left.str() <=> right.str();
    if (left.isNumber() && right.isNumber())
        return *left.number() <=> *right.number();
    // A text beside a number: numerically when the text is a number, else as texts.
    const Variant& textSide = left.isText() ? left : right;
    if (isNumericText(textSide.str()))
        return *left.number() <=> *right.number();
    return left.text() <=> right.text();
}

bool equals(const Variant& a, const Variant& b)
{
    const auto order = compare(a, b);
    return order && *order == std::partial_ordering::equivalent;
}

bool sameValue(const Variant& a, const Variant& b)
{
    if (a.kind() != b.kind())
        return false;
    if (a.isMissing())
        return true;
    return equals(a, b);
}

double singleToDouble(float value)
{
    if (!std::isfinite(value))
        return static_cast<double>(value);
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    double decimal = 0;
    // The decimal is the float's to the last bit; a double that rounded back elsewhere
    // would be no better than the float widened.
    if (std::from_chars(buffer, written.ptr, decimal).ec != std::errc() || static_cast<float>(decimal) != value)
        return static_cast<double>(value);
    return decimal;
}

} // namespace qln
