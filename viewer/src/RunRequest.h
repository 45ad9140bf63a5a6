#pragma once

// What a run takes from the window: the selected attribute and the options on the Options
// tab, read in this one place.

#include "quillon/viewer/RunOptions.h"

#include <string>

namespace qln::viewer {

class frmQuillon;

// The run options as the Options tab shows them: a hidden control gives an absent value;
// the depth and percent boxes give their leading number (empty text 0); the months their
// position in the month list; Rate -1 for optLower, 1 otherwise, 0 with the frame hidden.
RunOptions currentRunOptions(frmQuillon& form);

} // namespace qln::viewer
