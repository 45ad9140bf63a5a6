#include "DataProcessing.h"
#include "FieldValues.h"
#include "modErrorCodes.h"
#include "modShapeFuncs.h"
#include "rsFunctions.h"
#include "quillon/Error.h"
#include "quillon/Tokens.h"

#include <cmath>

namespace qln::engine {
namespace {

// A value that must be a number: a text that is none ends the run.
double requireNumber(const Variant& value, const std::string& column)
{
    if (const auto number = value.number())
        return *number;
    RaiseError(qlnErrTypeMismatch, "", "The value '" + value.text() + "' of " + column + " is not a number.");
}

// A field of the current record, Null when the record has no such field.
Variant fieldOrNull(const ado::Recordset& record, const std::string& name)
{
    const int index = exactFieldIndex(record, name);
    return index < 0 ? Variant::null() : record.value(index);
}

} // namespace

Variant CalculateMultiplier(const ado::Recordset& recordset, const ado::Recordset& userData)
{
    int line = 1;
    try {
        double m = 1.0;
        const std::string multipliers = textField(userData, "Multipliers");
        line = 2;
        const int count = CountTokens(multipliers, "|");
        for (int n = 1; n <= count; ++n) {
            const std::string factor = getToken(multipliers, "|", n);
            if (!factor.empty() && factor.front() == '*') {
                const std::string column = factor.substr(1);
                Variant key, value;
                GetMaxValues(recordset, column, key, column, value);
                if (value.isNull())
                    return Variant::null();
                m *= requireNumber(value, column);
            } else {
                m *= numericValue(factor);
            }
        }

        line = 3;
        const long top = numberField(userData, "TopDepth");
        if (top <= -1)
            return Variant(m);
        const long bottom = numberField(userData, "BotDepth");
        const Variant hzTop = fieldOrNull(recordset, "hzdept_r");
        const Variant hzBottom = fieldOrNull(recordset, "hzdepb_r");
        if (hzTop.isNull() || hzBottom.isNull())
            return Variant::null();
        const double t = requireNumber(hzTop, "hzdept_r");
        const double b = requireNumber(hzBottom, "hzdepb_r");
        const double T = static_cast<double>(top);
        const double B = static_cast<double>(bottom);
        line = 4;
        auto fraction = [&](double covered) {
            if (B == T)
                RaiseError(qlnErrLayerThickness, "",
                           "The soil layer from " + std::to_string(top) + " to " + std::to_string(bottom) +
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

double SumDepthWeighted(ado::Recordset& horizons, const std::string& column, const ado::Recordset& userData,
                        double weight)
{
    double sum = 0.0;
    if (horizons.recordCount() <= 0)
        return sum;
    for (horizons.moveFirst(); !horizons.eof(); horizons.moveNext()) {
        Variant key, value;
        GetMaxValues(horizons, column, key, column, value);
        if (value.isNull())
            continue;
        const Variant m = CalculateMultiplier(horizons, userData);
        if (m.isNull())
            return 0.0;
        sum += requireNumber(value, column) * m.real() * weight;
    }
    return sum;
}

int ProcessWeightedAverage(RunContext& run, const ado::Recordset& attr, ado::Recordset& comps,
                           const std::string& mukey, Variant& rating, const ado::Recordset& userData)
{
    int line = 1;
    try {
        const std::string keyColumn = textField(attr, "TieBreakColText");
        const double ignPct = numberOf(userData.value("IgnPct"));
        const bool nullsZero = flagField(userData, "SetNullsZero");
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
            const long percent = std::lround(numberOf(pct));
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
                const Variant& pctValue = comps.value("comppct_r");
                if (pctValue.isNull())
                    continue;
                const double pct = numberOf(pctValue);
                if (ignPct > 0 && pct < ignPct)
                    continue;
                bool rated = false;
                if (exactFieldIndex(comps, "cmdchorizon") >= 0) {
                    ado::Recordset horizons = comps.chapter("cmdchorizon");
                    horizons.setFilter(keyColumn + " <> Null");
                    if (horizons.recordCount() > 0) {
                        horizons.moveFirst();
                        rated = true;
                        sum += SumDepthWeighted(horizons, keyColumn, userData, pct / static_cast<double>(totalPct));
                    }
                } else {
                    Variant key, value;
                    GetMaxValues(comps, keyColumn, key, keyColumn, value);
                    if (!value.isNull()) {
                        const Variant m = CalculateMultiplier(comps, userData);
                        // A component whose multiplier is unknown takes no part at all.
                        if (m.isNull())
                            continue;
                        rated = true;
                        sum += pct / static_cast<double>(totalPct) * requireNumber(value, keyColumn) * m.real();
                    }
                }
                if (nullsZero || rated)
                    ratedPct += std::lround(pct);
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
        rating = RoundRating(rating, attr.value("RoundNumbers"));
        return result;
    } catch (...) {
        rethrowWithTrail("ProcessWeightedAverage", line);
    }
}

} // namespace qln::engine
