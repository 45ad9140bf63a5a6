#pragma once

#include "RunInputs.h"
#include "quillon/ado/Recordset.h"
#include "quillon/engine/clsQuillon.h"

namespace qln::engine {

// Checks the values a run will read from the SHAPE result before any map unit is rated,
// so that every method meets the same faults: in the attribute's value and key columns,
// the multiplier columns, comppct_r, hzdept_r and hzdepb_r, a text in a column declared
// numeric ends the run with qlnErrTypeMismatch and an infinite or not-a-number value with
// qlnErrNotFinite, naming the table, the column and the row's keys. Horizons whose top lies
// below their bottom are counted into `inverted`.
void CheckRunData(const ado::Recordset& shape, const RunInputs& in, InvertedHorizons& inverted);

} // namespace qln::engine
