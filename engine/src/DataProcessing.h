#pragma once

#include "RunInputs.h"
#include "quillon/Variant.h"
#include "quillon/ado/Recordset.h"

#include <functional>
#include <optional>
#include <string>

namespace qln::engine {

// What one run shares with its methods besides their arguments.
struct RunContext {
    // Every component of the run's map units, cut-off or not: read on first use, since only
    // the weighted average needs it.
    std::function<const ado::Recordset&()> allComponents;
    // Called for each map unit of the SHAPE result with the count reached so far.
    std::function<void(long)> onMapunit;
    long mapunitsDone = 0;
};

// Method results.
inline constexpr int kRated = 1;
inline constexpr int kNoRating = 0;
inline constexpr int kStopLegend = -1;

// Rates the map units of one legend row's chapter into the results record set; always 1.
int ProcessMapunits(RunContext& run, ado::Recordset& mapunits, ado::Recordset& rsMapunits, const RunInputs& in,
                    ado::Recordset& results);

// Steps 1 to 5 of ProcessMapunits for the current row of a map unit chapter: the method's
// outcome (kNoRating for a map unit the caller did not ask for). Errors carry the trail of
// ProcessMapunits.
int RateMapunit(RunContext& run, const ado::Recordset& mapunits, ado::Recordset& rsMapunits, const RunInputs& in,
                ado::Recordset& results);

// Whether the candidate replaces the current value under the direction (1 larger, -1
// smaller wins); an Empty or Null candidate never does, anything replaces a Null current.
bool IsCriticalValue(const Variant& current, const Variant& candidate, int direction);

// The field a "column<>Null" filter on the record set would test, when the column is a
// plain name (letters, digits, '_') of a field that is no chapter; else -1, and only the
// filter itself can say what the name means. Lets hot loops skip Null rows themselves.
int NullTestField(const ado::Recordset& recordset, const std::string& column);

// Key and value of the critical record of a record set, descending into the chapters below
// its current record; Null and Null when there is none.
void GetCriticalValue(const ado::Recordset& recordset, const std::string& keyColumn, Variant& key,
                      const std::string& valueColumn, Variant& value, int direction);

// Floors a numeric rating to the places of the factor (10 to the power RoundNumbers);
// other values are returned unchanged.
Variant RoundRating(const Variant& rating, double factor);

// The component percent of the current record: nothing when Null; a text or an infinite
// value ends the run naming the component.
std::optional<double> ComponentPercent(const ado::Recordset& comps);

int ProcessDominantSoil(const RunInputs& in, ado::Recordset& comps, Variant& rating, std::string& cokey);

int ProcessWeightedAverage(RunContext& run, const RunInputs& in, ado::Recordset& comps, const std::string& mukey,
                           Variant& rating);

// Rates by the condition (shared value) covering the largest share; cokeys are the
// winning condition's component keys joined by "|", count their number.
int ProcessDominantCondition(const RunInputs& in, ado::Recordset& comps, const std::string& mukey, Variant& rating,
                             std::string& cokeys, int& count);

// The most (mostLimiting) or least critical component value under the attribute's direction.
int ProcessLimiting(const RunInputs& in, ado::Recordset& comps, const std::string& mukey, Variant& rating,
                    bool mostLimiting, std::string& cokey);

// "All Hydric", "Not Hydric", "Partially Hydric" or "Unknown Hydric" from a yes/no column.
int ProcessAbsencePresence(const RunInputs& in, ado::Recordset& comps, const std::string& mukey, Variant& rating);

// The extreme value over all components (highest for direction 1, lowest for -1).
int ProcessAllComponents(const RunInputs& in, ado::Recordset& comps, const std::string& mukey, Variant& rating);
Variant ProcessCompHighLow(ado::Recordset& comps, const RunInputs& in, int direction);

// A component's candidate for the limiting and all-components methods: the critical
// horizon of a horizon attribute, else the key and value read below the component record.
void ComponentCandidate(const ado::Recordset& comps, const std::string& keyColumn, const std::string& valueColumn,
                        int direction, Variant& key, Variant& value);

// Weight of the current record: the Multipliers factors times its share of the layer;
// Null when a factor's column or a depth is Null, or the horizon's top lies below its
// bottom.
Variant CalculateMultiplier(const ado::Recordset& recordset, const RunInputs& in);

// Sum over the horizons of value x multiplier x weight; 0.0 when a multiplier is Null.
double SumDepthWeighted(ado::Recordset& horizons, const std::string& column, const RunInputs& in, double weight);

} // namespace qln::engine
