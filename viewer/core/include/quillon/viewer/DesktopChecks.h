#pragma once

// Instance, window and file name checks over the desktop's window directory.

#include "quillon/desktop/InstanceLock.h"
#include "quillon/viewer/WindowChecks.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qln::viewer {

// The desktop's top-level windows, top of the stacking order first.
std::vector<TopLevelWindow> desktopWindows();

// True when a viewer main window already exists, or another copy holds the per-user lock
// (two copies started at the same moment would both see no window yet). On false, lock
// holds this copy's lock for the rest of the process.
bool QLNIsRunning(std::optional<desktop::InstanceLock>& lock);

// As the core function, over the desktop's windows; the handle of the match in hWnd.
bool CheckIfWindowRunning(const std::string& caption, std::string& hWnd, std::int16_t matchCount);

// True when two or more GIS windows are open.
bool MultipleArcviewSessions();

// The open-file dialog for one existing soils file (isSoilsFile decides which files it
// offers). On a choice, folder is the chosen
// file's folder with its trailing "/" and fileName its bare name; a cancel leaves both as
// they were and returns false.
bool AccessFileSelect(const std::string& initialFolder, std::string& folder, std::string& fileName);

// 1 with the short path and name of the file at longPath; -1, leaving both as they were,
// when there is no such file.
int GetShortFilename(const std::string& longPath, std::string& shortPath, std::string& shortName);

} // namespace qln::viewer
