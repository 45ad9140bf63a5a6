#pragma once

// Joins the main window to the GIS link: the window as the link sees it, and the one link
// the program owns. Without a GIS the command line is empty and the link stays unlinked.

#include "ViewerState.h"

namespace qln::viewer {

class frmQuillon;

// Creates st.gisLink for the window once the reporter and the utilities exist.
void CreateGisLink(ViewerState& st, frmQuillon& form);

} // namespace qln::viewer
