#include "DataProcessing.h"
#include "FieldValues.h"
#include "modErrorCodes.h"
#include "modShapeFuncs.h"
#include "rsFunctions.h"
#include "quillon/Error.h"

#include <cmath>

namespace qln::engine {
namespace {

// A field of the current record, Null when the record has no such field.
Variant fieldOrNull(const ado::Recordset& record, const std::string& name)
{
    const int index = exactFieldIndex(record, name);
    return index < 0 ? Variant::null() : record.value(index);
}

} // namespace

Variant CalculateMultiplier(const ado::Recordset& recordset, const RunInputs& in)
{
    int line = 1;
    try {
        double m = 1.0;
        line = 2;
        for (const MultiplierFactor& factor : in.multipliers) {
            if (factor.column.empty()) {
                m *= factor.number;
                continue;
            }
            Variant key, value;
            GetMaxValues(recordset, factor.column, key, factor.column, value);
            if (value.isNull())
                return Variant::null();
            m *= requireNumber(value, ValueName(recordset, factor.column));
        }

        line = 3;
        if (in.topDepth <= -1)
            return Variant(m);
        const Variant hzTop = fieldOrNull(recordset, "hzdept_r");
        const Variant hzBottom = fieldOrNull(recordset, "hzdepb_r");
        if (hzTop.isNull() || hzBottom.isNull())
            return Variant::null();
        const double t = requireNumber(hzTop, ValueName(recordset, "hzdept_r"));
        const double b = requireNumber(hzBottom, ValueName(recordset, "hzdepb_r"));
        // A top below the bottom is a depth nobody can know: the Null-depth rule applies.
        if (t > b)
            return Variant::null();
        const double T = in.topDepth;
        const double B = in.botDepth;
        line = 4;
        auto fraction = [&](double covered) {
            if (B == T)
                RaiseError(qlnErrLayerThickness, "",
                           "The soil layer from " + std::to_string(in.topDepth) + " to " + std::to_string(in.botDepth) +
                               " cm has no thickness; choose a bottom depth below the top depth.");
            return covered / (B - T);
        };
        double f;
        if (t < T) {
            if (b > B)
                f = 1.0;
            else if (b == T)
                f = 0.0;
            else
                f = fraction(b - T);
        } else if (b > B) {
            if (t == T)
                f = 1.0;
            else if (t == B)
                f = 0.0;
            else
                f = fraction(B - t);
        } else {
            f = fraction(b - t);
        }
        return Variant(m * f);
    } catch (...) {
        rethrowWithTrail("CalculateMultiplier", line);
    }
}

double SumDepthWeighted(ado::Recordset& horizons, const std::string& column, const RunInputs& in, double weight)
{
    double sum = 0.0;
    if (horizons.recordCount() <= 0)
        return sum;
    for (horizons.moveFirst(); !horizons.eof(); horizons.moveNext()) {
        Variant key, value;
        GetMaxValues(horizons, column, key, column, value);
        if (value.isNull())
            continue;
        const Variant m = CalculateMultiplier(horizons, in);
        if (m.isNull())
            return 0.0;
        sum += requireNumber(value, ValueName(horizons, column)) * m.real() * weight;
    }
    return sum;
}

int ProcessWeightedAverage(RunContext& run, const RunInputs& in, ado::Recordset& comps, const std::string& mukey,
                           Variant& rating)
{
    int line = 1;
    try {
        const std::string& keyColumn = in.keyColumn;
        const int ignPct = in.ignPct;
        const bool nullsZero = in.nullsZero;
        long totalPct = 0;
        long excludedPct = 0;
        long ratedPct = 0;

        line = 2;
        long count = 0;
        ado::Recordset unitComponents = FilterField(run.allComponents(), "mukey", mukey, count);
        for (; count > 0 && !unitComponents.eof(); unitComponents.moveNext()) {
            const Variant& pct = unitComponents.value("comppct_r");
            if (pct.isNull())
                continue;
            const long percent = toInteger16(pct, ValueName(unitComponents, "component.comppct_r"));
            totalPct += percent;
            if (percent < ignPct)
                excludedPct += percent;
        }

        line = 3;
        rating = Variant(0.0);
        int result = kNoRating;
        if (comps.recordCount() > 0 && totalPct >= 1) {
            double sum = 0.0;
            line = 4;
            for (comps.moveFirst(); !comps.eof(); comps.moveNext()) {
                const auto percent = ComponentPercent(comps);
                if (!percent)
                    continue;
                const double pct = *percent;
                if (ignPct > 0 && pct < ignPct)
                    continue;
                bool rated = false;
                if (exactFieldIndex(comps, "cmdchorizon") >= 0) {
                    ado::Recordset horizons = comps.chapter("cmdchorizon");
                    // Horizons with a Null value add nothing to the sum, which skips them.
                    bool anyValue = false;
                    if (const int keyField = NullTestField(horizons, keyColumn); keyField >= 0) {
                        for (horizons.moveFirst(); !anyValue && !horizons.eof(); horizons.moveNext())
                            anyValue = !horizons.value(keyField).isNull();
                    } else {
                        horizons.setFilter(keyColumn + " <> Null");
                        anyValue = horizons.recordCount() > 0;
                    }
                    if (anyValue) {
                        horizons.moveFirst();
                        rated = true;
                        sum += SumDepthWeighted(horizons, keyColumn, in, pct / static_cast<double>(totalPct));
                    }
                } else {
                    Variant key, value;
                    GetMaxValues(comps, keyColumn, key, keyColumn, value);
                    if (!value.isNull()) {
                        const Variant m = CalculateMultiplier(comps, in);
                        // A component whose multiplier is unknown takes no part at all.
                        if (m.isNull())
                            continue;
                        rated = true;
                        sum += pct / static_cast<double>(totalPct) * requireNumber(value, ValueName(comps, keyColumn)) * m.real();
                    }
                }
                if (nullsZero || rated)
                    ratedPct += toInteger16(comps.value("comppct_r"), ValueName(comps, "component.comppct_r"));
            }

            line = 5;
            if (ratedPct == 0) {
                rating = Variant::null();
            } else if (ignPct > 0 && nullsZero) {
                rating = totalPct == excludedPct
                             ? Variant(0)
                             : Variant(sum * static_cast<double>(totalPct) / static_cast<double>(totalPct - excludedPct));
            } else if (ignPct > 0 || !nullsZero) {
                rating = Variant(sum * static_cast<double>(totalPct) / static_cast<double>(ratedPct));
            } else {
                rating = Variant(sum);
            }
            result = kRated;
        }

        line = 6;
        rating = RoundRating(rating, in.roundFactor);
        return result;
    } catch (...) {
        rethrowWithTrail("ProcessWeightedAverage", line);
    }
}

} // namespace qln::engine
