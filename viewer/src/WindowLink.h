#pragma once

// Joins the main window to the GIS link: the window as the link sees it, and the one link
// the program owns, kept by the session. Without a GIS the command line is empty and the
// link stays unlinked.

#include "quillon/viewer/Session.h"
#include "quillon/viewer/link/GisLink.h"

namespace qln::viewer {

class frmQuillon;

// Gives the session a new link for the window once the reporter and the utilities exist.
void CreateGisLink(Session& session, frmQuillon& form);

// The session's link as the window uses it; null before CreateGisLink.
link::GisLink* gisLinkOf(const Session& session);

} // namespace qln::viewer
