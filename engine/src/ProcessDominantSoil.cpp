#include "DataProcessing.h"
#include "FieldValues.h"
#include "modShapeFuncs.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"

namespace qln::engine {
namespace {

// Key and value a component offers: from its horizons (their depth-weighted sum over the
// layer, or the critical horizon) or from its own record.
void componentCandidate(ado::Recordset& comps, const ado::Recordset& userData, const std::string& keyColumn,
                        const std::string& valueColumn, int direction, Variant& key, Variant& value)
{
    if (exactFieldIndex(comps, "cmdchorizon") >= 0) {
        ado::Recordset horizons = comps.chapter("cmdchorizon");
        if (numberField(userData, "Rate") == 0 && numberField(userData, "TopDepth") >= 0) {
            key = Variant(SumDepthWeighted(horizons, keyColumn, userData, 1.0));
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

int ProcessDominantSoil(const ado::Recordset& attr, ado::Recordset& comps, Variant& rating,
                        const ado::Recordset& userData, std::string& cokey)
{
    int line = 1;
    try {
        const int direction = RunDirection(attr, userData);
        const std::string keyColumn = textField(attr, "TieBreakColText");
        const std::string valueColumn = textField(attr, "AttrColText");
        rating = Variant::null();
        int result = kNoRating;

        line = 2;
        if (comps.recordCount() > 0) {
            line = 3;
            comps.moveFirst();
            Variant bestKey;
            componentCandidate(comps, userData, keyColumn, valueColumn, direction, bestKey, rating);
            cokey = comps.value("cokey").text();

            line = 4;
            const Variant& firstPercent = comps.value("comppct_r");
            if (!firstPercent.isNull()) {
                const Variant dominant(static_cast<long long>(numberOf(firstPercent)));
                line = 5;
                for (comps.moveNext(); !comps.eof(); comps.moveNext()) {
                    if (!equals(comps.value("comppct_r"), dominant))
                        continue;
                    Variant key, value;
                    componentCandidate(comps, userData, keyColumn, valueColumn, direction, key, value);
                    if (IsCriticalValue(bestKey, key, direction)) {
                        bestKey = key;
                        rating = value;
                        cokey = comps.value("cokey").text();
                    }
                }
            }

            line = 6;
            if (!rating.isNull()) {
                if (IsSingleType(attr))
                    rating = RoundRating(rating, attr.value("RoundNumbers"));
                result = kRated;
            }
        }

        line = 8;
        if (flagField(userData, "SetNullsZero") && (rating.isNull() || equals(rating, Variant(0))))
            rating = Variant(0);
        return result;
    } catch (...) {
        rethrowWithTrail("ProcessDominantSoil", line);
    }
}

} // namespace qln::engine
