#include "CheckRunData.h"

#include "FieldValues.h"
#include "modShapeFuncs.h"
#include "quillon/Error.h"
#include "quillon/Text.h"

#include <map>
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

} // namespace

struct RunDataCheck::Checker {
    std::set<std::string> columns;  // lower case
    std::set<std::string> counted;  // inverted horizons met, so that shared rows count once
    std::vector<std::string> inverted;  // the same in the order met

    // What to look at in the rows of one level; the same for every chapter of that level.
    struct Plan {
        std::vector<int> fields;
        std::vector<bool> numeric;
        std::vector<std::string> names;  // "table.column"
        int top = -1;
        int bottom = -1;
        std::vector<std::pair<int, std::string>> chapters;  // field, table below
    };
    std::map<std::string, Plan> plans;

    const Plan& planOf(const ado::Recordset& level, const std::string& table)
    {
        const auto [it, added] = plans.try_emplace(table);
        Plan& plan = it->second;
        if (!added)
            return plan;
        for (int i = 0; i < level.fieldCount(); ++i) {
            const std::string& name = level.field(i).name;
            if (level.isChapter(i)) {
                plan.chapters.emplace_back(i, name.rfind("cmd", 0) == 0 ? name.substr(3) : name);
            } else if (columns.count(lowerAscii(name))) {
                plan.fields.push_back(i);
                plan.numeric.push_back(isNumericType(level.field(i).type));
                plan.names.push_back(table + "." + name);
            }
        }
        plan.top = exactFieldIndex(level, "hzdept_r");
        plan.bottom = exactFieldIndex(level, "hzdepb_r");
        return plan;
    }

    void check(ado::Recordset level, const std::string& table)
    {
        if (level.recordCount() <= 0)
            return;
        for (level.moveFirst(); !level.eof(); level.moveNext())
            checkRow(level, table);
    }

    void checkRow(const ado::Recordset& level, const std::string& table)
    {
        const Plan& plan = planOf(level, table);
        for (std::size_t f = 0; f < plan.fields.size(); ++f) {
            const Variant& value = level.value(plan.fields[f]);
            if (value.isNull() || value.kind() == Variant::Kind::Integer || (value.isText() && !plan.numeric[f]))
                continue;
            requireNumber(value, ValueName(level, plan.names[f]));
        }
        if (plan.top >= 0 && plan.bottom >= 0)
            countInverted(level, plan.top, plan.bottom);
        for (const auto& [chapter, childTable] : plan.chapters)
            check(level.chapter(chapter), childTable);
    }

    void countInverted(const ado::Recordset& level, int top, int bottom)
    {
        const auto t = level.value(top).number();
        const auto b = level.value(bottom).number();
        if (!t || !b || *t <= *b)
            return;
        std::string horizon =
            rowKeys(level) + ": hzdept_r " + level.value(top).text() + ", hzdepb_r " + level.value(bottom).text();
        if (counted.insert(horizon).second)
            inverted.push_back(std::move(horizon));
    }
};


RunDataCheck::RunDataCheck(const RunInputs& in) : m_checker(std::make_unique<Checker>())
{
    for (const std::string& name : {in.valueColumn, in.keyColumn, std::string("comppct_r"), std::string("hzdept_r"),
                                    std::string("hzdepb_r")})
        m_checker->columns.insert(lowerAscii(name));
    for (const MultiplierFactor& factor : in.multipliers) {
        if (!factor.column.empty())
            m_checker->columns.insert(lowerAscii(factor.column));
    }
}

RunDataCheck::~RunDataCheck() = default;

void RunDataCheck::checkMapunit(const ado::Recordset& mapunits)
{
    try {
        m_checker->checkRow(mapunits, "mapunit");
    } catch (...) {
        rethrowWithTrail("CheckRunData", 1);
    }
}

const std::vector<std::string>& RunDataCheck::inverted() const
{
    return m_checker->inverted;
}

void CountInverted(const std::vector<std::string>& met, std::set<std::string>& counted, InvertedHorizons& inverted)
{
    for (const std::string& horizon : met) {
        if (!counted.insert(horizon).second)
            continue;
        if (inverted.count++ == 0)
            inverted.first = horizon;
    }
}

void CheckRunData(const ado::Recordset& shape, const RunInputs& in, InvertedHorizons& inverted)
{
    try {
        inverted = InvertedHorizons{};
        RunDataCheck check(in);
        check.m_checker->check(shape.clone(), "legend");
        std::set<std::string> counted;
        CountInverted(check.inverted(), counted, inverted);
    } catch (...) {
        rethrowWithTrail("CheckRunData", 1);
    }
}

} // namespace qln::engine
