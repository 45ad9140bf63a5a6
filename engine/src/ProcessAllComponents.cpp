#include "DataProcessing.h"
#include "FieldValues.h"
#include "rsFunctions.h"
#include "quillon/Error.h"

#include <cmath>

namespace qln::engine {

Variant ProcessCompHighLow(ado::Recordset& comps, const ado::Recordset& attr, int direction,
                           const ado::Recordset& userData)
{
    int line = 1;
    try {
        const std::string keyColumn = textField(attr, "TieBreakColText");
        const std::string valueColumn = textField(attr, "AttrColText");
        const bool allNullsNoData = flagField(attr, "AllNullsNoData");
        const double ignPct = std::nearbyint(numberOf(userData.value("IgnPct")));
        const bool nullsZero = flagField(userData, "SetNullsZero");
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
            const auto percent = comps.value("comppct_r").number();
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

int ProcessAllComponents(const ado::Recordset& attr, ado::Recordset& comps, const std::string& mukey,
                         const ado::Recordset& userData, Variant& rating)
{
    int line = 1;
    try {
        long found = 0;
        ado::Recordset unit = FilterField(comps, "mukey", mukey, found);
        line = 2;
        const int direction = RunDirection(attr, userData);
        line = 3;
        rating = ProcessCompHighLow(unit, attr, direction, userData);
        line = 4;
        if (IsSingleType(attr))
            rating = RoundRating(rating, attr.value("RoundNumbers"));
        return kRated;
    } catch (...) {
        rethrowWithTrail("ProcessAllComponents", line);
    }
}

} // namespace qln::engine
