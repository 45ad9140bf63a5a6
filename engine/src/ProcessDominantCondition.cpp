#include "DataProcessing.h"
#include "FieldValues.h"
#include "modShapeFuncs.h"
#include "rsFunctions.h"
#include "quillon/Error.h"

#include <vector>

namespace qln::engine {
namespace {

// The components sharing one value, in the order met. The key is the first component's.
struct Condition {
    std::vector<std::string> cokeys;
    long percent = 0;
    Variant value;
    Variant key;
};

int AddToMaxRecord(std::vector<Condition>& conditions, const Variant& value, long percent, const Variant& key,
                   const std::string& cokey)
{
    for (Condition& condition : conditions) {
        if (equals(condition.value, value)) {
            condition.percent += percent;
            condition.cokeys.push_back(cokey);
            return 1;
        }
    }
    conditions.push_back(Condition{{cokey}, percent, value, key});
    return 1;
}

std::size_t FindMaxRecord(const std::vector<Condition>& conditions, int direction)
{
    std::size_t best = 0;
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        if (conditions[i].percent > conditions[best].percent ||
            (conditions[i].percent == conditions[best].percent &&
             IsCriticalValue(conditions[best].key, conditions[i].key, direction)))
            best = i;
    }
    return best;
}

} // namespace

int ProcessDominantCondition(const RunInputs& in, ado::Recordset& comps, const std::string& mukey, Variant& rating,
                             std::string& cokeys, int& count)
{
    int line = 1;
    try {
        const int direction = in.tieBreak;
        const std::string& keyColumn = in.keyColumn;
        const std::string& valueColumn = in.valueColumn;

        line = 2;
        long found = 0;
        ado::Recordset unit = FilterField(comps, "mukey", mukey, found);
        if (found == 0)
            return kNoRating;

        line = 3;
        std::vector<Condition> conditions;
        for (; !unit.eof(); unit.moveNext()) {
            const Variant& percent = unit.value("comppct_r");
            if (percent.isNull())
                continue;
            Variant key;
            GetMaxValues(unit, keyColumn, key, valueColumn, rating);
            AddToMaxRecord(conditions, rating, toInteger16(percent, ValueName(unit, "component.comppct_r")), key,
                           unit.value("cokey").text());
        }
        line = 4;
        if (conditions.empty())
            return kNoRating;

        line = 5;
        const Condition& best = conditions[FindMaxRecord(conditions, direction)];
        rating = best.value;
        if (in.singleType)
            rating = RoundRating(rating, in.roundFactor);
        line = 7;
        count = static_cast<int>(best.cokeys.size());
        cokeys.clear();
        for (std::size_t i = 0; i < best.cokeys.size(); ++i)
            cokeys += (i ? "|" : "") + best.cokeys[i];
        return kRated;
    } catch (...) {
        rethrowWithTrail("ProcessDominantCondition", line);
    }
}

} // namespace qln::engine
