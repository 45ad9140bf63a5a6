#pragma once

#include "quillon/Variant.h"
#include "quillon/ado/Recordset.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qln::engine {

// Readings of the values a run takes from its inputs and its data, one function for each
// conversion. `what` names the value in errors ("UserData.IgnPct", "chorizon.hzdept_r
// (cokey '7')"), so that a user can find it.

// The name of a value in errors: a fixed text, or a column of a record's current row named
// with the row's keys, built only when a value is refused (the readings run per row).
class ValueName {
public:
    ValueName(const char* text) : m_text(text) {}
    ValueName(const std::string& text) : m_text(text) {}
    ValueName(const ado::Recordset& record, std::string_view column) : m_text(column), m_record(&record) {}
    std::string str() const;

private:
    std::string_view m_text;
    const ado::Recordset* m_record = nullptr;
};

// A field of the current record as text; a Null text is "".
std::string textField(const ado::Recordset& record, std::string_view name);

// The number a value holds (a number or a numeric text). Null and any other text end the
// run with qlnErrTypeMismatch, an infinite or not-a-number value with qlnErrNotFinite.
double requireNumber(const Variant& value, const ValueName& what);

// "Converted to a 16-bit integer": the nearest integer, halves to the even one (2.5 is 2,
// 3.5 is 4); outside -32768..32767 ends the run with qlnErrOverflow. Else as requireNumber.
std::int16_t toInteger16(const Variant& value, const ValueName& what);

// A Yes/No value: Null is False, a number is True when not 0, and the texts True/False and
// Yes/No in any case; any other text ends the run with qlnErrTypeMismatch.
bool toFlag(const Variant& value, const ValueName& what);

// The key fields (names ending in "key") of the current record, as "cokey '7', chkey '12'";
// "" without a current record.
std::string rowKeys(const ado::Recordset& record);

// Whether the record set has a current record.
bool hasRow(const ado::Recordset& record);

} // namespace qln::engine
