#include "DataProcessing.h"

#include "FieldValues.h"
#include "modErrorCodes.h"
#include "modShapeFuncs.h"
#include "rsFunctions.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/Text.h"

#include <charconv>
#include <cmath>

namespace qln::engine {
namespace {

// The rating as the results field holds it: single precision, integers as the field's
// integers, texts for text fields; variants as they are.
Variant toFieldType(const Variant& rating, int type)
{
    if (rating.isMissing())
        return rating;
    const auto number = rating.number();
    switch (type) {
    case ado::adSingle:
        return number ? Variant(static_cast<float>(*number)) : rating;
    case ado::adDouble:
        return number ? Variant(*number) : rating;
    case ado::adSmallInt:
    case ado::adInteger:
    case ado::adBigInt:
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

} // namespace

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
        const std::string existing = level.filter();
        level.setFilter(existing.empty() ? keyColumn + "<>Null" : keyColumn + "<>Null AND " + existing);
        if (level.recordCount() == 0)
            return;
        line = 4;
        level.moveFirst();
        key = level.value(keyIndex);
        value = level.value(valueIndex);
        for (level.moveNext(); !level.eof(); level.moveNext()) {
            if (IsCriticalValue(key, level.value(keyIndex), direction)) {
                key = level.value(keyIndex);
                value = level.value(valueIndex);
            }
        }
    } catch (...) {
        rethrowWithTrail("GetCriticalValue", line);
    }
}

Variant RoundRating(const Variant& rating, const Variant& roundNumbers)
{
    if (!rating.number() || rating.kind() == Variant::Kind::Boolean)
        return rating;
    // Negative places round to tens, hundreds...; a whole power of ten avoids the division
    // by zero a truncated factor of 0 would give.
    const double factor = roundNumbers.isMissing() ? 10.0 : std::pow(10.0, std::lround(*roundNumbers.number()));
    double scaled = decimalValue(rating) * factor;
    // Products such as 0.29 x 100 = 28.999999999999996 are whole numbers written inexactly.
    const double nearest = std::nearbyint(scaled);
    if (std::fabs(scaled - nearest) <= 1e-9 * std::max(1.0, std::fabs(scaled)))
        scaled = nearest;
    return Variant(std::floor(scaled) / factor);
}

void ComponentCandidate(const ado::Recordset& comps, const std::string& keyColumn, const std::string& valueColumn,
                        int direction, Variant& key, Variant& value)
{
    if (exactFieldIndex(comps, "cmdchorizon") >= 0)
        GetCriticalValue(comps.chapter("cmdchorizon"), keyColumn, key, valueColumn, value, direction);
    else
        GetMaxValues(comps, keyColumn, key, valueColumn, value);
}

int RunDirection(const ado::Recordset& attr, const ado::Recordset& userData)
{
    const long rate = numberField(userData, "Rate");
    return static_cast<int>(rate != 0 ? rate : numberField(attr, "TieBreak"));
}

bool IsSingleType(const ado::Recordset& attr)
{
    return lowerAscii(textField(attr, "DBFType")) == "single";
}

int ProcessMapunits(RunContext& run, ado::Recordset& mapunits, ado::Recordset& rsMapunits,
                    const ado::Recordset& userData, const ado::Recordset& attr, ado::Recordset& results)
{
    int line = 1;
    try {
        const std::string telvaTable = textField(attr, "TelvaTable");
        const std::string attrColumn = textField(attr, "AttrColText");
        const bool mapunitLevel = telvaTable == "mapunit" || telvaTable == "muaggatt";
        const std::string outputField = textField(userData, "OutputTable");
        const int ratingType = results.field(2).type;

        for (mapunits.moveFirst(); !mapunits.eof(); mapunits.moveNext()) {
            if (run.onMapunit)
                run.onMapunit(++run.mapunitsDone);
            line = 2;
            rsMapunits.setFilter("mukey='" + escapeQuotes(mapunits.value("mukey").text()) + "'");
            if (rsMapunits.recordCount() == 0)
                continue;
            const std::string musym = trimBlanks(textField(rsMapunits, "musym"));
            const std::string mukey = trimBlanks(textField(rsMapunits, "mukey"));

            Variant rating;
            std::string cokey;
            int count = 1;
            int outcome = kRated;
            if (mapunitLevel) {
                line = 3;
                if (telvaTable == "mapunit") {
                    rating = mapunits.value(attrColumn);
                } else {
                    const ado::Recordset summary = mapunits.chapter("cmdmuaggatt");
                    rating = hasRow(summary) ? summary.value(attrColumn) : Variant::null();
                }
            } else {
                line = 4;
                ado::Recordset comps = mapunits.chapter("cmdcomponent");
                const long algorithm = numberField(userData, "Algorithm");
                switch (algorithm) {
                case 0:
                    outcome = ProcessWeightedAverage(run, attr, comps, mukey, rating, userData);
                    break;
                case 3:
                    outcome = ProcessDominantSoil(attr, comps, rating, userData, cokey);
                    break;
                case 1:
                    outcome = ProcessLimiting(attr, comps, mukey, rating, true, cokey, userData);
                    break;
                case 2:
                    outcome = ProcessLimiting(attr, comps, mukey, rating, false, cokey, userData);
                    break;
                case 4:
                    outcome = ProcessDominantCondition(attr, comps, mukey, rating, cokey, count);
                    break;
                case 5:
                    outcome = ProcessAbsencePresence(attr, comps, mukey, rating);
                    break;
                case 6:
                    outcome = ProcessAllComponents(attr, comps, mukey, userData, rating);
                    break;
                default:
                    RaiseError(qlnErrInvalidAlgorithm, "ProcessMapunits", "Invalid algorithm selected.");
                }
            }

            line = 5;
            if (outcome == kStopLegend)
                break;
            if (outcome != kRated || rating.isMissing() || (rating.isText() && rating.str() == "NULL"))
                continue;
            results.addNew();
            results.setValue("musym", musym);
            results.setValue("mukey", mukey);
            results.setValue(outputField, toFieldType(rating, ratingType));
            if (!mapunitLevel) {
                results.setValue("cokey", cokey);
                results.setValue("NumComponents", count);
            }
            results.update();
        }
        return 1;
    } catch (...) {
        rethrowWithTrail("ProcessMapunits", line);
    }
}

} // namespace qln::engine
