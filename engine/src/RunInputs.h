#pragma once

#include "quillon/Variant.h"
#include "quillon/ado/Recordset.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qln::engine {

// One factor of the Multipliers text: a number, or the column a record's factor is read from.
struct MultiplierFactor {
    std::string column;  // "" for a number
    double number = 1.0;
};

// The attribute record and the UserData record of one run, read once into typed values;
// the methods take these, never the records.
struct RunInputs {
    // From the attribute record.
    std::string telvaTable;
    std::string valueColumn;  // AttrColText
    std::string keyColumn;    // TieBreakColText
    bool componentLevel = false;
    std::int16_t tieBreak = 0;
    bool singleType = false;    // DBFType "single" in any letter case
    double roundFactor = 10.0;  // 10 to the power RoundNumbers, 10 when it is Null
    bool allNullsNoData = false;
    long definedSize = 0;

    // From UserData. The method code is read for component-level attributes only.
    std::int16_t algorithm = -1;
    std::string outputTable;
    std::int16_t topDepth = -1;
    std::int16_t botDepth = -1;
    std::int16_t ignPct = 0;
    std::int16_t rate = 0;
    bool nullsZero = false;
    std::vector<MultiplierFactor> multipliers;

    // Tie-break direction where the Rate override applies: Rate when not 0, else TieBreak.
    int direction() const { return rate != 0 ? rate : tieBreak; }
};

// Reads the current rows of both records. A Null or non-numeric value where a number is
// required, or a number out of its range, ends the run naming the field.
RunInputs ReadRunInputs(const ado::Recordset& attr, const ado::Recordset& userData);

// 10 to the power RoundNumbers (converted to a 16-bit integer); 10 when Null. A power that
// is not a finite, non-zero double (beyond about 308 places either way) ends the run.
double RoundingFactor(const Variant& roundNumbers, const std::string& what);

} // namespace qln::engine
