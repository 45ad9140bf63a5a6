#include "DataProcessing.h"
#include "FieldValues.h"
#include "rsFunctions.h"
#include "quillon/Error.h"

namespace qln::engine {

int ProcessLimiting(const ado::Recordset& attr, ado::Recordset& comps, const std::string& mukey, Variant& rating,
                    bool mostLimiting, std::string& cokey, const ado::Recordset& userData)
{
    int line = 1;
    try {
        const int direction = static_cast<int>(numberField(attr, "TieBreak"));
        const std::string keyColumn = textField(attr, "TieBreakColText");
        const std::string valueColumn = textField(attr, "AttrColText");
        const double ignPct = numberOf(userData.value("IgnPct"));

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
            const auto percent = unit.value("comppct_r").number();
            if (!percent || *percent < ignPct)
                continue;
            if (IsCriticalValue(bestKey, key, direction) == mostLimiting) {
                bestKey = key;
                rating = value;
                cokey = unit.value("cokey").text();
            }
        }

        line = 5;
        if (IsSingleType(attr))
            rating = RoundRating(rating, attr.value("RoundNumbers"));
        return kRated;
    } catch (...) {
        rethrowWithTrail("ProcessLimiting", line);
    }
}

} // namespace qln::engine
