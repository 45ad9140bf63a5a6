#include "CheckRunData.h"

#include "FieldValues.h"
#include "modShapeFuncs.h"
#include "quillon/Error.h"
#include "quillon/Text.h"

#include <set>
#include <vector>

namespace qln::engine {
namespace {

bool isNumericType(int type)
{
    switch (type) {
    case ado::adSmallInt:
    case ado::adInteger:
    case ado::adBigInt:
    case ado::adSingle:
    case ado::adDouble:
        return true;
    default:
        return false;
    }
}

struct Checker {
    std::set<std::string> columns;  // lower case
    InvertedHorizons& inverted;
    std::set<std::string> counted;  // inverted horizons met, so that shared rows count once

    // The fields of this level to check, found once per level.
    std::vector<int> checkedFields(const ado::Recordset& level) const
    {
        std::vector<int> fields;
        for (int i = 0; i < level.fieldCount(); ++i) {
            if (!level.isChapter(i) && columns.count(lowerAscii(level.field(i).name)))
                fields.push_back(i);
        }
        return fields;
    }

    void check(ado::Recordset level, const std::string& table)
    {
        if (level.recordCount() <= 0)
            return;
        const std::vector<int> fields = checkedFields(level);
        std::vector<bool> numericField;
        std::vector<std::string> names;  // "table.column", built once per level
        for (const int field : fields) {
            numericField.push_back(isNumericType(level.field(field).type));
            names.push_back(table + "." + level.field(field).name);
        }
        const int top = exactFieldIndex(level, "hzdept_r");
        const int bottom = exactFieldIndex(level, "hzdepb_r");
        std::vector<std::pair<int, std::string>> chapters;
        for (int i = 0; i < level.fieldCount(); ++i) {
            if (level.isChapter(i)) {
                const std::string& name = level.field(i).name;
                chapters.emplace_back(i, name.rfind("cmd", 0) == 0 ? name.substr(3) : name);
            }
        }
        for (level.moveFirst(); !level.eof(); level.moveNext()) {
            for (std::size_t f = 0; f < fields.size(); ++f) {
                const Variant& value = level.value(fields[f]);
                if (value.isNull() || (value.isText() && !numericField[f]))
                    continue;
                if (value.kind() == Variant::Kind::Integer)
                    continue;  // always a finite number
                requireNumber(value, ValueName(level, names[f]));
            }
            if (top >= 0 && bottom >= 0)
                countInverted(level, top, bottom);
            for (const auto& [chapter, childTable] : chapters)
                check(level.chapter(chapter), childTable);
        }
    }

    void countInverted(const ado::Recordset& level, int top, int bottom)
    {
        const auto t = level.value(top).number();
        const auto b = level.value(bottom).number();
        if (!t || !b || *t <= *b)
            return;
        std::string horizon =
            rowKeys(level) + ": hzdept_r " + level.value(top).text() + ", hzdepb_r " + level.value(bottom).text();
        if (!counted.insert(horizon).second)
            return;
        if (inverted.count++ == 0)
            inverted.first = std::move(horizon);
    }
};

} // namespace

void CheckRunData(const ado::Recordset& shape, const RunInputs& in, InvertedHorizons& inverted)
{
    try {
        inverted = InvertedHorizons{};
        Checker checker{{}, inverted, {}};
        for (const std::string& name : {in.valueColumn, in.keyColumn, std::string("comppct_r"),
                                        std::string("hzdept_r"), std::string("hzdepb_r")})
            checker.columns.insert(lowerAscii(name));
        for (const MultiplierFactor& factor : in.multipliers) {
            if (!factor.column.empty())
                checker.columns.insert(lowerAscii(factor.column));
        }
        checker.check(shape.clone(), "legend");
    } catch (...) {
        rethrowWithTrail("CheckRunData", 1);
    }
}

} // namespace qln::engine
