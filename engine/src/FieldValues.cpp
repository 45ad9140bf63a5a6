#include "FieldValues.h"

#include "modErrorCodes.h"
#include "rsFunctions.h"
#include "quillon/Text.h"

#include <cmath>

namespace qln::engine {

std::string ValueName::str() const
{
    std::string name(m_text);
    if (m_record) {
        if (const std::string keys = rowKeys(*m_record); !keys.empty())
            name += " (" + keys + ")";
    }
    return name;
}

std::string textField(const ado::Recordset& record, std::string_view name)
{
    return record.value(name).text();
}

double requireNumber(const Variant& value, const ValueName& what)
{
    if (value.isMissing())
        RaiseError(qlnErrTypeMismatch, "", what.str() + " is Null where a number is required.");
    const auto number = value.number();
    if (!number) {
        // A text that reads as infinity or not-a-number is no more usable than any other.
        RaiseError(qlnErrTypeMismatch, "", "The value '" + value.text() + "' of " + what.str() + " is not a number.");
    }
    if (!std::isfinite(*number))
        RaiseError(qlnErrNotFinite, "", "The value " + value.text() + " of " + what.str() + " is not a finite number.");
    return *number;
}

std::int16_t toInteger16(const Variant& value, const ValueName& what)
{
    // nearbyint rounds in the default mode, to nearest with halves to even.
    const double whole = std::nearbyint(requireNumber(value, what));
    if (whole < -32768.0 || whole > 32767.0)
        RaiseError(qlnErrOverflow, "",
                   "The value " + value.text() + " of " + what.str() + " does not fit a 16-bit integer (-32768 to 32767).");
    return static_cast<std::int16_t>(whole);
}

bool toFlag(const Variant& value, const ValueName& what)
{
    if (value.isMissing())
        return false;
    if (value.isText()) {
        const std::string text = lowerAscii(trimBlanks(value.str()));
        if (text == "true" || text == "yes")
            return true;
        if (text == "false" || text == "no")
            return false;
    }
    return requireNumber(value, what) != 0.0;
}

std::string rowKeys(const ado::Recordset& record)
{
    if (!hasRow(record))
        return {};
    std::string keys;
    for (int i = 0; i < record.fieldCount(); ++i) {
        const std::string& name = record.field(i).name;
        if (name.size() < 3 || lowerAscii(name.substr(name.size() - 3)) != "key" || record.isChapter(i))
            continue;
        keys += (keys.empty() ? "" : ", ") + name + " '" + record.value(i).text() + "'";
    }
    return keys;
}

bool hasRow(const ado::Recordset& record)
{
    return record.isOpen() && !record.bof() && !record.eof();
}

} // namespace qln::engine
