#include "ColumnKeys.h"

#include "DateText.h"
#include "Errors.h"

#include <cmath>

namespace qln::landsort::detail {
namespace {

template <typename T>
int sign(const T& a, const T& b)
{
    return a > b ? 1 : (a < b ? -1 : 0);
}

// Blanks sort before every value, and equal to each other.
template <typename Present>
int compareBlanksFirst(bool aBlank, bool bBlank, Present present)
{
    if (aBlank || bBlank)
        return aBlank == bBlank ? 0 : (aBlank ? -1 : 1);
    return present();
}

double numberOf(const Variant& value)
{
    return value.isNumber() ? *value.number() : numericValue(value.text());
}

} // namespace

ColumnKeys::ColumnKeys(std::string column, SortTypes type, int identifierPieces)
    : m_column(std::move(column)), m_type(type), m_pieces(identifierPieces)
{
}

void ColumnKeys::add(const Variant& value)
{
    switch (m_type) {
    case sRegular:
        m_values.push_back(value);
        return;
    case snonRegular:
        m_identifiers.emplace_back(value.text());
        return;
    case sString:
        m_texts.push_back(value.text());
        return;
    case sInteger:
        m_numbers.emplace_back(std::trunc(numberOf(value)));
        return;
    case sFloat:
        m_numbers.emplace_back(numberOf(value));
        return;
    case sDate:
        break;
    }
    if (value.kind() == Variant::Kind::Date) {
        m_numbers.emplace_back(value.date().serial);
    } else if (value.isNumber()) {
        m_numbers.emplace_back(*value.number());
    } else {
        const std::string text = value.text();
        if (text.find_first_not_of(' ') == std::string::npos) {
            m_numbers.emplace_back(std::nullopt);
            return;
        }
        const auto date = parseDateText(text);
        if (!date)
            raise(kTypeMismatch, "landsort",
                  "Type mismatch: \"" + text + "\" in column " + m_column + " is not a date");
        m_numbers.emplace_back(*date);
    }
}

int ColumnKeys::compare(std::uint32_t a, std::uint32_t b) const
{
    switch (m_type) {
    case snonRegular:
        return ParsedIdentifier::compare(m_identifiers[a], m_identifiers[b], m_pieces);
    case sRegular: {
        const Variant& va = m_values[a];
        const Variant& vb = m_values[b];
        return compareBlanksFirst(va.isMissing(), vb.isMissing(), [&] {
            const auto order = qln::compare(va, vb);
            if (!order)
                return 0;
            return *order > 0 ? 1 : (*order < 0 ? -1 : 0);
        });
    }
    case sString:
        return sign(m_texts[a].compare(m_texts[b]), 0);
    case sDate:
    case sInteger:
    case sFloat: {
        const auto& na = m_numbers[a];
        const auto& nb = m_numbers[b];
        return compareBlanksFirst(!na, !nb, [&] { return sign(*na, *nb); });
    }
    }
    return 0;
}

} // namespace qln::landsort::detail
