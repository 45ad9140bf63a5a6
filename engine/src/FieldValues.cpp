#include "FieldValues.h"

#include <cmath>

namespace qln::engine {

std::string textField(const ado::Recordset& record, std::string_view name)
{
    return record.value(name).text();
}

long numberField(const ado::Recordset& record, std::string_view name)
{
    return std::lround(numberOf(record.value(name)));
}

bool flagField(const ado::Recordset& record, std::string_view name)
{
    return numberOf(record.value(name)) != 0.0;
}

double numberOf(const Variant& value)
{
    if (const auto number = value.number())
        return *number;
    if (value.isText())
        return numericValue(value.str());
    return 0.0;
}

bool hasRow(const ado::Recordset& record)
{
    return record.isOpen() && !record.bof() && !record.eof();
}

} // namespace qln::engine
