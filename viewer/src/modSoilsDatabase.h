#pragma once

#include "ViewerState.h"

namespace qln::viewer {

// Makes fileName (in the current soils data folder) the open soils database: its plain
// connection string is what runs hand to the engine. 1.
int ResetTelvaConnection(ViewerState& st, const std::string& fileName);

} // namespace qln::viewer
