#pragma once

#include "quillon/ado/Recordset.h"
#include "quillon/engine/clsQuillon.h"
#include "quillon/viewer/RunOptions.h"

#include <string>
#include <vector>

namespace qln::viewer {

// The methods AttrAlgorithms lists for the attribute, in method-code order.
std::vector<MethodChoice> attributeMethods(engine::clsQuillon& engine, const std::string& nodeKey);

// The items of the attribute's option lists in the soils database; none when it has none.
std::vector<ListChoice> attributeListItems(engine::clsQuillon& engine, const std::string& soilsConnect,
                                           const std::string& nodeKey);

// The one-row UserData record of the run for the attribute record, after checkRunOptions.
// An attribute without a DBFColumn is a RefusedRun ("This Interpretation is not yet
// supported."), as the option panel refuses it.
ado::Recordset buildUserData(const RunOptions& options, const ado::Recordset& attr, long methodCode);

} // namespace qln::viewer
