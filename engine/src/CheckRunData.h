#pragma once

#include "RunInputs.h"
#include "quillon/ado/Recordset.h"
#include "quillon/engine/clsQuillon.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace qln::engine {

// Checks the values a run will read from the SHAPE result before any map unit is rated,
// so that every method meets the same faults: in the attribute's value and key columns,
// the multiplier columns, comppct_r, hzdept_r and hzdepb_r, a text in a column declared
// numeric ends the run with qlnErrTypeMismatch and an infinite or not-a-number value with
// qlnErrNotFinite, naming the table, the column and the row's keys. Horizons whose top lies
// below their bottom are counted into `inverted`.
void CheckRunData(const ado::Recordset& shape, const RunInputs& in, InvertedHorizons& inverted);

// The same checks, one map unit at a time, for a run that reads its soils in batches.
class RunDataCheck {
public:
    explicit RunDataCheck(const RunInputs& in);
    ~RunDataCheck();
    RunDataCheck(const RunDataCheck&) = delete;
    RunDataCheck& operator=(const RunDataCheck&) = delete;

    // The current map unit row of a SHAPE result and every level below it.
    void checkMapunit(const ado::Recordset& mapunits);
    // The inverted horizons met so far, each once, in the order met.
    const std::vector<std::string>& inverted() const;

private:
    friend void CheckRunData(const ado::Recordset&, const RunInputs&, InvertedHorizons&);
    struct Checker;
    std::unique_ptr<Checker> m_checker;
};

// Counts the horizons not met before (`counted`) into `inverted`, in their order.
void CountInverted(const std::vector<std::string>& met, std::set<std::string>& counted, InvertedHorizons& inverted);

} // namespace qln::engine
