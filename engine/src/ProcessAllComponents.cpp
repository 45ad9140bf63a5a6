#include "DataProcessing.h"
#include "FieldValues.h"
#include "rsFunctions.h"
#include "quillon/Error.h"

namespace qln::engine {

Variant ProcessCompHighLow(ado::Recordset& comps, const RunInputs& in, int direction)
{
    int line = 1;
    try {
        const std::string& keyColumn = in.keyColumn;
        const std::string& valueColumn = in.valueColumn;
        const bool allNullsNoData = in.allNullsNoData;
        const int ignPct = in.ignPct;
        const bool nullsZero = in.nullsZero;
        bool allNull = true;
        Variant result = Variant::null();

        line = 2;
        if (comps.recordCount() <= 0)
            return result;

        // The first component is the starting point whatever its percent.
        line = 3;
        comps.moveFirst();
        Variant bestKey, bestValue;
        ComponentCandidate(comps, keyColumn, valueColumn, direction, bestKey, bestValue);
        result = bestValue;

        line = 4;
        for (; !comps.eof(); comps.moveNext()) {
            Variant key, value;
            ComponentCandidate(comps, keyColumn, valueColumn, direction, key, value);
            // Data counts before the cut-off: a component below it still has data.
            if (!key.isNull() && !value.isNull())
                allNull = false;
            const auto percent = ComponentPercent(comps);
            if (percent && *percent < ignPct)
                continue;
            if (key.isNull() && direction < 0 && nullsZero) {
                bestValue = value.isNull() ? Variant(0) : value;
                bestKey = Variant(0);
                result = bestValue;
            } else if (IsCriticalValue(bestKey, key, direction)) {
                bestValue = value;
                bestKey = key;
                result = bestValue;
            }
        }

        line = 5;
        if (allNull && allNullsNoData)
            result = Variant::null();
        return result;
    } catch (...) {
        rethrowWithTrail("ProcessCompHighLow", line);
    }
}

int ProcessAllComponents(const RunInputs& in, ado::Recordset& comps, const std::string& mukey, Variant& rating)
{
    int line = 1;
    try {
        long found = 0;
        ado::Recordset unit = FilterField(comps, "mukey", mukey, found);
        line = 2;
        const int direction = in.direction();
        line = 3;
        rating = ProcessCompHighLow(unit, in, direction);
        line = 4;
        if (in.singleType)
            rating = RoundRating(rating, in.roundFactor);
        return kRated;
    } catch (...) {
        rethrowWithTrail("ProcessAllComponents", line);
    }
}

} // namespace qln::engine
