#include "DataProcessing.h"
#include "FieldValues.h"
#include "rsFunctions.h"
#include "quillon/Error.h"

namespace qln::engine {

int ProcessLimiting(const RunInputs& in, ado::Recordset& comps, const std::string& mukey, Variant& rating,
                    bool mostLimiting, std::string& cokey)
{
    int line = 1;
    try {
        const int direction = in.tieBreak;
        const std::string& keyColumn = in.keyColumn;
        const std::string& valueColumn = in.valueColumn;

        line = 2;
        long found = 0;
        ado::Recordset unit = FilterField(comps, "mukey", mukey, found);
        if (found == 0) {
            rating = Variant(0);
            return kNoRating;
        }

        // The first component is the starting point whatever its percent.
        line = 3;
        Variant bestKey;
        ComponentCandidate(unit, keyColumn, valueColumn, direction, bestKey, rating);
        cokey = unit.value("cokey").text();

        line = 4;
        for (; !unit.eof(); unit.moveNext()) {
            Variant key, value;
            ComponentCandidate(unit, keyColumn, valueColumn, direction, key, value);
            const auto percent = ComponentPercent(unit);
            if (!percent || *percent < in.ignPct)
                continue;
            if (IsCriticalValue(bestKey, key, direction) == mostLimiting) {
                bestKey = key;
                rating = value;
                cokey = unit.value("cokey").text();
            }
        }

        line = 5;
        if (in.singleType)
            rating = RoundRating(rating, in.roundFactor);
        return kRated;
    } catch (...) {
        rethrowWithTrail("ProcessLimiting", line);
    }
}

} // namespace qln::engine
