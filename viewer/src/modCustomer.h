#pragma once

#include "ViewerState.h"

namespace qln::viewer {

class frmQuillon;

// Captures the customer contact open in the mail client into the viewer's state; when there
// is none, disables both report tabs' address check boxes. A contact that cannot be read is
// reported as message 1. Always true.
bool CheckOutlookCustomer(ViewerState& st, frmQuillon& form);

} // namespace qln::viewer
