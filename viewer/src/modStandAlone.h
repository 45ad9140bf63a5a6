#pragma once

// Procedures that start-up and the tabs call whose full work belongs to the report and
// mail modules. Until those are part of the program they do what a viewer without a
// mail client and without report data does.

#include "ViewerState.h"

namespace qln::viewer {

// No mail client contact is captured: the reports carry no address label. 1.
int CheckOutlookCustomer(ViewerState& st);

// Nothing to build yet: -1, so the tab asks again on its next visit.
int SetNonTechRSs(ViewerState& st);

} // namespace qln::viewer
