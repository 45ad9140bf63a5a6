#pragma once

#include "quillon/Date.h"

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace qln {

// A value of a record-set field, a rating or a key: Empty, Null, a number or a text.
// Null is never equal to anything; nothing converts out of a Variant implicitly.
class Variant {
public:
    enum class Kind { Empty, Null, Boolean, Integer, Single, Double, Text, Date };

    Variant() = default;
    Variant(bool value) : m_value(value) {}
    Variant(int value) : m_value(std::int64_t{value}) {}
    Variant(long value) : m_value(std::int64_t{value}) {}
    Variant(long long value) : m_value(std::int64_t{value}) {}
    Variant(float value) : m_value(value) {}
    Variant(double value) : m_value(value) {}
    Variant(std::string value) : m_value(std::move(value)) {}
    Variant(std::string_view value) : m_value(std::string(value)) {}
    Variant(const char* value) : m_value(std::string(value)) {}
    Variant(Date value) : m_value(value) {}

    static Variant null() { Variant v; v.m_value = NullTag{}; return v; }

    Kind kind() const { return static_cast<Kind>(m_value.index()); }
    bool isEmpty() const { return kind() == Kind::Empty; }
    bool isNull() const { return kind() == Kind::Null; }
    // Empty or Null: no value at all.
    bool isMissing() const { return isEmpty() || isNull(); }
    bool isText() const { return kind() == Kind::Text; }
    // Boolean, Integer, Single, Double or Date.
    bool isNumber() const;

    // The stored value of that kind; calling the wrong one is a broken invariant.
    bool boolean() const { return std::get<bool>(m_value); }
    std::int64_t integer() const { return std::get<std::int64_t>(m_value); }
    float single() const { return std::get<float>(m_value); }
    double real() const { return std::get<double>(m_value); }
    const std::string& str() const { return std::get<std::string>(m_value); }
    Date date() const { return std::get<Date>(m_value); }

    // The value as a number: numbers as they are (True is -1), a numeric text by its value;
    // nothing for Empty, Null and other texts.
    std::optional<double> number() const;

    // The value as a user reads it: "" for Empty and Null, True/False, shortest decimals
    // (at most 7 significant digits for Single), dates as YYYY-MM-DD [HH:MM:SS].
    std::string text() const;

private:
    struct NullTag {
        friend bool operator==(NullTag, NullTag) = default;
    };
    std::variant<std::monostate, NullTag, bool, std::int64_t, float, double, std::string, Date> m_value;
};

// True when the text is a number as a whole, blanks around it allowed ("12", " -1.5e3 ").
bool isNumericText(std::string_view text);

// The leading number of a text, 0 when it has none ("12abc" is 12, "abc" is 0).
double numericValue(std::string_view text);

// Equality of two values: never true when either is Null; numbers numerically, texts as
// texts, a numeric text against a number numerically; Empty is "" beside texts, else 0.
bool equals(const Variant& a, const Variant& b);

// Ordering under the rules of equals(); nothing when either side is Null.
std::optional<std::partial_ordering> compare(const Variant& a, const Variant& b);

// Strict structural equality (Null equals Null): for tests and change tracking only.
bool sameValue(const Variant& a, const Variant& b);

// The double a Single is stored as where a file keeps only doubles: the shortest decimal
// that reads back as the same float (0.15f gives 0.15, not 0.15000000596), so that other
// readers of the file see the number a user typed and this program reads the same float.
double singleToDouble(float value);

} // namespace qln
