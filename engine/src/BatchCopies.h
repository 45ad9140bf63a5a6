#pragma once

#include "modShapeFuncs.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/QueryCopies.h"
#include "quillon/ado/Recordset.h"

#include <functional>
#include <memory>
#include <string>

namespace qln::engine {

// The copies a batched run reads instead of the levels the soils database cannot seek by the
// keys of a batch, which every batch would otherwise walk whole: such a level is read once,
// in the order its own query gives, into a file indexed on its relation column.
struct BatchCopies {
    std::unique_ptr<ado::QueryCopies> file;
    // The map units' components of the percent base, copied as the query `components` of
    // CopyForBatches gave them; empty when read from the database.
    ado::QueryCopies::Copy components;
};

// Copies the levels of `pieces` (map unit and below) whose batch query, as `probe` restricts
// it, cannot seek, and records them in pieces.copies; with `components`, the percent base
// query too when its batches (`componentsProbe`) cannot seek component.mukey: it is copied as
// `componentsWhole` gives it, for every map unit. Nothing is
// copied for a server database, when every level seeks, or when a copy cannot be made (the
// run then reads the database batch by batch). `going` is called with the rows read so far as
// the copies are made and may end the run by throwing.
BatchCopies CopyForBatches(ado::Connection& soils, ShapePieces& pieces, const ado::Recordset& attr,
                           const std::string& probe, const std::string& componentsProbe,
                           const std::string& componentsWhole, const std::function<void(long rows)>& going);

// The percent base of a batch's map units (`condition` on mapunit.mukey) from the copy.
std::string CopiedComponentsQuery(const ado::QueryCopies::Copy& copy, const std::string& condition);

} // namespace qln::engine
