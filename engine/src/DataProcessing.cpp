#include "DataProcessing.h"

#include "FieldValues.h"
#include "modErrorCodes.h"
#include "modShapeFuncs.h"
#include "rsFunctions.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace qln::engine {
namespace {

// The rating as the results field holds it: single precision, integers as the field's
// integers, texts for text fields; variants as they are.
Variant toFieldType(const Variant& rating, int type)
{
    if (rating.isMissing())
        return rating;
    const auto number = rating.number();
    auto fits = [&](double limit) {
        if (std::fabs(*number) > limit)
            RaiseError(qlnErrOverflow, "", "The rating " + rating.text() + " does not fit the results field.");
    };
    switch (type) {
    case ado::adSingle:
        if (number)
            fits(std::numeric_limits<float>::max());
        return number ? Variant(static_cast<float>(*number)) : rating;
    case ado::adDouble:
        return number ? Variant(*number) : rating;
    case ado::adSmallInt:
    case ado::adInteger:
    case ado::adBigInt:
        if (number)
            fits(9.2e18);
        return number ? Variant(static_cast<long long>(std::nearbyint(*number))) : rating;
    case ado::adBoolean:
        return number ? Variant(*number != 0.0) : rating;
    default:
        return ado::isTextType(type) ? Variant(rating.text()) : rating;
    }
}

// Reads a rating as the decimal the user sees: a single-precision 14.9 is 14.9, not
// 14.899999618530273, so that flooring keeps it.
double decimalValue(const Variant& rating)
{
    if (rating.kind() == Variant::Kind::Single) {
        const std::string text = rating.text();
        double value = 0;
        std::from_chars(text.data(), text.data() + text.size(), value);
        return value;
    }
    return *rating.number();
}

// A column name the filter grammar reads bare: letters, digits and '_', not led by a digit.
bool isPlainName(std::string_view name)
{
    if (name.empty() || (name.front() >= '0' && name.front() <= '9'))
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

} // namespace

int NullTestField(const ado::Recordset& recordset, const std::string& column)
{
    if (!isPlainName(column))
        return -1;
    const int index = recordset.fieldIndex(column);
    return index >= 0 && !recordset.isChapter(index) ? index : -1;
}

bool IsCriticalValue(const Variant& current, const Variant& candidate, int direction)
{
    try {
        if (candidate.isMissing())
            return false;
        if (current.isNull())
            return true;
        const auto order = compare(candidate, current);
        if (!order)
            return false;
        if (direction == 1)
            return *order == std::partial_ordering::greater;
        if (direction == -1)
            return *order == std::partial_ordering::less;
        return false;
    } catch (...) {
        rethrowWithTrail("IsCriticalValue", 1);
    }
}

void GetCriticalValue(const ado::Recordset& recordset, const std::string& keyColumn, Variant& key,
                      const std::string& valueColumn, Variant& value, int direction)
{
    int line = 1;
    try {
        key = Variant::null();
        value = Variant::null();
        if (!recordset.isOpen() || recordset.recordCount() <= 0)
            return;
        line = 2;
        ado::Recordset level = recordset.clone(true);
        while (!GetChildRS(level).empty()) {
        }
        const int valueIndex = exactFieldIndex(level, valueColumn);
        const int keyIndex = level.fieldIndex(keyColumn);
        if (valueIndex < 0 || keyIndex < 0)
            return;
        line = 3;
        // Rows with a Null key take no part: skipped below, or filtered out for a name only
        // the filter can judge.
        if (NullTestField(level, keyColumn) < 0) {
            const std::string existing = level.filter();
            level.setFilter(existing.empty() ? keyColumn + "<>Null" : keyColumn + "<>Null AND " + existing);
        }
        line = 4;
        bool found = false;
        for (level.moveFirst(); !level.eof(); level.moveNext()) {
            const Variant& candidate = level.value(keyIndex);
            if (candidate.isNull())
                continue;
            if (!found || IsCriticalValue(key, candidate, direction)) {
                key = candidate;
                value = level.value(valueIndex);
                found = true;
            }
        }
    } catch (...) {
        rethrowWithTrail("GetCriticalValue", line);
    }
}

Variant RoundRating(const Variant& rating, double factor)
{
    if (!rating.number() || rating.kind() == Variant::Kind::Boolean)
        return rating;
    double scaled = decimalValue(rating) * factor;
    // A rating too large to scale has fewer places than the factor keeps: it stays.
    if (!std::isfinite(scaled))
        return rating;
    // Products such as 0.29 x 100 = 28.999999999999996 are whole numbers written inexactly.
    const double nearest = std::nearbyint(scaled);
    if (std::fabs(scaled - nearest) <= 1e-9 * std::max(1.0, std::fabs(scaled)))
        scaled = nearest;
    return Variant(std::floor(scaled) / factor);
}

std::optional<double> ComponentPercent(const ado::Recordset& comps)
{
    const Variant& percent = comps.value("comppct_r");
    if (percent.isNull())
        return std::nullopt;
    return requireNumber(percent, ValueName(comps, "component.comppct_r"));
}

void ComponentCandidate(const ado::Recordset& comps, const std::string& keyColumn, const std::string& valueColumn,
                        int direction, Variant& key, Variant& value)
{
    if (exactFieldIndex(comps, "cmdchorizon") >= 0)
        GetCriticalValue(comps.chapter("cmdchorizon"), keyColumn, key, valueColumn, value, direction);
    else
        GetMaxValues(comps, keyColumn, key, valueColumn, value);
}

namespace {

// Steps 1 to 5 of ProcessMapunits for the current row of the chapter; `line` tells the step.
int rateRow(RunContext& run, const ado::Recordset& mapunits, ado::Recordset& rsMapunits, const RunInputs& in,
            ado::Recordset& results, int& line)
{
    line = 2;
    rsMapunits.setFilter("mukey='" + escapeQuotes(mapunits.value("mukey").text()) + "'");
    if (rsMapunits.recordCount() == 0)
        return kNoRating;
    const std::string musym = trimBlanks(textField(rsMapunits, "musym"));
    const std::string mukey = trimBlanks(textField(rsMapunits, "mukey"));

    Variant rating;
    std::string cokey;
    int count = 1;
    int outcome = kRated;
    if (!in.componentLevel) {
        line = 3;
        if (in.telvaTable == "mapunit") {
            rating = mapunits.value(in.valueColumn);
        } else {
            const ado::Recordset summary = mapunits.chapter("cmdmuaggatt");
            rating = hasRow(summary) ? summary.value(in.valueColumn) : Variant::null();
        }
    } else {
        line = 4;
        ado::Recordset comps = mapunits.chapter("cmdcomponent");
        switch (in.algorithm) {
        case 0:
            outcome = ProcessWeightedAverage(run, in, comps, mukey, rating);
            break;
        case 3:
            outcome = ProcessDominantSoil(in, comps, rating, cokey);
            break;
        case 1:
            outcome = ProcessLimiting(in, comps, mukey, rating, true, cokey);
            break;
        case 2:
            outcome = ProcessLimiting(in, comps, mukey, rating, false, cokey);
            break;
        case 4:
            outcome = ProcessDominantCondition(in, comps, mukey, rating, cokey, count);
            break;
        case 5:
            outcome = ProcessAbsencePresence(in, comps, mukey, rating);
            break;
        case 6:
            outcome = ProcessAllComponents(in, comps, mukey, rating);
            break;
        default:
            RaiseError(qlnErrInvalidAlgorithm, "ProcessMapunits", "Invalid algorithm selected.");
        }
    }

    line = 5;
    if (outcome != kRated || rating.isMissing() || (rating.isText() && rating.str() == "NULL"))
        return outcome;
    // No output may hold "inf" or "nan": such a rating is a fault of the data.
    if (const auto number = rating.number(); number && !std::isfinite(*number))
        RaiseError(qlnErrNotFinite, "",
                   "The rating of map unit " + mukey + " is " + rating.text() + ", not a finite number.");
    results.addNew();
    results.setValue("musym", musym);
    results.setValue("mukey", mukey);
    results.setValue(2, toFieldType(rating, results.field(2).type));
    if (in.componentLevel) {
        results.setValue("cokey", cokey);
        results.setValue("NumComponents", count);
    }
    results.update();
    return outcome;
}

} // namespace

int RateMapunit(RunContext& run, const ado::Recordset& mapunits, ado::Recordset& rsMapunits, const RunInputs& in,
                ado::Recordset& results)
{
    int line = 1;
    try {
        return rateRow(run, mapunits, rsMapunits, in, results, line);
    } catch (...) {
        rethrowWithTrail("ProcessMapunits", line);
    }
}

int ProcessMapunits(RunContext& run, ado::Recordset& mapunits, ado::Recordset& rsMapunits, const RunInputs& in,
                    ado::Recordset& results)
{
    int line = 1;
    try {
        for (mapunits.moveFirst(); !mapunits.eof(); mapunits.moveNext()) {
            if (run.onMapunit)
                run.onMapunit(++run.mapunitsDone);
            if (rateRow(run, mapunits, rsMapunits, in, results, line) == kStopLegend)
                break;
        }
        return 1;
    } catch (...) {
        rethrowWithTrail("ProcessMapunits", line);
    }
}

} // namespace qln::engine
