#pragma once

#include "ViewerState.h"

namespace qln::viewer {

// Replaces the working results database by its pristine copy. 1, or -1 with the cause
// reported: the pristine file missing (message 602) or the copy failing (the working
// database then stays as it was).
int OverwriteOutputDB(ViewerState& st);

} // namespace qln::viewer
