#include "DataProcessing.h"
#include "FieldValues.h"
#include "modShapeFuncs.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"

namespace qln::engine {
namespace {

// Whether any horizon of the layer holds a value of the column: a component without one
// (a pit, water, rock outcrop) has nothing to weigh, which is no value rather than 0.
bool hasValueInLayer(ado::Recordset& horizons, const std::string& column)
{
    if (horizons.recordCount() <= 0)
        return false;
    for (horizons.moveFirst(); !horizons.eof(); horizons.moveNext()) {
        Variant key, value;
        GetMaxValues(horizons, column, key, column, value);
        if (!value.isNull())
            return true;
    }
    return false;
}

// Key and value a component offers: from its horizons (their depth-weighted sum over the
// layer, or the critical horizon) or from its own record.
void componentCandidate(ado::Recordset& comps, const RunInputs& in, int direction, Variant& key, Variant& value)
{
    const std::string& keyColumn = in.keyColumn;
    const std::string& valueColumn = in.valueColumn;
    if (exactFieldIndex(comps, "cmdchorizon") >= 0) {
        ado::Recordset horizons = comps.chapter("cmdchorizon");
        if (in.rate == 0 && in.topDepth >= 0) {
            key = hasValueInLayer(horizons, keyColumn) ? Variant(SumDepthWeighted(horizons, keyColumn, in, 1.0))
                                                       : Variant::null();
            value = key;
        } else {
            GetCriticalValue(horizons, keyColumn, key, valueColumn, value, direction);
        }
        return;
    }
    ado::Recordset own = comps.clone();
    own.setFilter("cokey='" + escapeQuotes(comps.value("cokey").text()) + "'");
    GetCriticalValue(own, keyColumn, key, valueColumn, value, direction);
}

} // namespace

int ProcessDominantSoil(const RunInputs& in, ado::Recordset& comps, Variant& rating, std::string& cokey)
{
    int line = 1;
    try {
        const int direction = in.direction();
        rating = Variant::null();
        int result = kNoRating;

        line = 2;
        if (comps.recordCount() > 0) {
            line = 3;
            comps.moveFirst();
            Variant bestKey;
            componentCandidate(comps, in, direction, bestKey, rating);
            cokey = comps.value("cokey").text();

            line = 4;
            const Variant& firstPercent = comps.value("comppct_r");
            if (!firstPercent.isNull()) {
                const Variant dominant(toInteger16(firstPercent, ValueName(comps, "component.comppct_r")));
                line = 5;
                for (comps.moveNext(); !comps.eof(); comps.moveNext()) {
                    const auto percent = ComponentPercent(comps);
                    if (!percent || *percent != *dominant.number())
                        continue;
                    Variant key, value;
                    componentCandidate(comps, in, direction, key, value);
                    if (IsCriticalValue(bestKey, key, direction)) {
                        bestKey = key;
                        rating = value;
                        cokey = comps.value("cokey").text();
                    }
                }
            }

            line = 6;
            if (!rating.isNull()) {
                if (in.singleType)
                    rating = RoundRating(rating, in.roundFactor);
                result = kRated;
            }
        }

        line = 8;
        if (in.nullsZero && (rating.isNull() || equals(rating, Variant(0))))
            rating = Variant(0);
        return result;
    } catch (...) {
        rethrowWithTrail("ProcessDominantSoil", line);
    }
}

} // namespace qln::engine
