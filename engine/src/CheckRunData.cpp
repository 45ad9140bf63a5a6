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
    std::set<std::string> visited;  // chapters already checked, by level and parent keys

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
        const int top = exactFieldIndex(level, "hzdept_r");
        const int bottom = exactFieldIndex(level, "hzdepb_r");
        std::vector<int> chapters;
        for (int i = 0; i < level.fieldCount(); ++i) {
            if (level.isChapter(i))
                chapters.push_back(i);
        }
        for (level.moveFirst(); !level.eof(); level.moveNext()) {
            for (const int field : fields) {
                const Variant& value = level.value(field);
                if (value.isNull() || (value.isText() && !isNumericType(level.field(field).type)))
                    continue;
                requireNumber(value, ValueName(level, table + "." + level.field(field).name));
            }
            if (top >= 0 && bottom >= 0)
                countInverted(level, top, bottom);
            for (const int chapter : chapters) {
                const std::string& name = level.field(chapter).name;
                // Parents with the same keys share their child rows: check those once.
                const std::string keys = rowKeys(level);
                if (!keys.empty() && !visited.insert(name + '\x1f' + keys).second)
                    continue;
                check(level.chapter(chapter), name.rfind("cmd", 0) == 0 ? name.substr(3) : name);
            }
        }
    }

    void countInverted(const ado::Recordset& level, int top, int bottom)
    {
        const auto t = level.value(top).number();
        const auto b = level.value(bottom).number();
        if (!t || !b || *t <= *b)
            return;
        if (inverted.count++ == 0)
            inverted.first = rowKeys(level) + ": hzdept_r " + level.value(top).text() + ", hzdepb_r " +
                             level.value(bottom).text();
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
