#pragma once

// The viewer's side of the GIS link as start-up and shutdown use it. Without a GIS the
// viewer runs stand-alone: the command line is empty and no conversation is opened.

#include "ViewerState.h"

namespace qln::viewer {

// Parses the command line ("folder|attribute file", in quotes or not). Empty: 1, not linked. Not
// of two parts: message 1454 and -1. The attribute file must exist (its short name without
// the extension becomes AttributeFileName); then the viewer is linked.
int Initialize_DDE_Connection(ViewerState& st);

// Opens the conversation with the GIS when linked; -1 when not linked or when no
// conversation can be had (reported).
int Open_DDE_Connection(ViewerState& st);

// Asks the GIS to remove the viewer's temporary themes when linked. 1.
int Reset_DDE_Data(ViewerState& st);

// Closes the conversation when linked. 1.
int End_DDE_Connection(ViewerState& st);

class frmQuillon;

// The main window whose Timer1 RegistryChanged starts; nullptr when there is none.
void setRegistryWindow(frmQuillon* window);

// Called by the registry watcher on its own thread: only starts Timer1, on the GUI thread.
void RegistryChanged();

// Reads "EnableQLNDialog" once per notification and enables ("Y") or disables the window.
void Timer1_Timer(ViewerState& st, frmQuillon& form);

} // namespace qln::viewer
