#pragma once

// Whether another viewer or more than one GIS window is open, decided over a list of the
// desktop's top-level windows in Z order.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qln::viewer {

struct TopLevelWindow {
    std::string handle;
    std::string title;
    bool visible = false;
};

// The caption of the viewer's main window, and the one it bears while the GIS disables it.
inline constexpr const char* kMainCaption = "Quillon";
inline constexpr const char* kDisabledSuffix = " - Disabled";

// The handle of the matchCount-th window (visible or not) whose title, cut at its first
// zero character and trimmed of blanks, equals caption or "Quillon - Disabled" without
// regard to letter case; nothing when fewer match.
std::optional<std::string> CheckIfWindowRunning(const std::vector<TopLevelWindow>& windows, std::string_view caption,
                                                 std::int16_t matchCount);

// True when a viewer main window already exists.
bool QLNIsRunning(const std::vector<TopLevelWindow>& windows);

// Counts a visible window whose title (up to 260 characters) begins with "ArcView GIS",
// any letter case. Always 1: go on enumerating.
int EnumWindowProc(const TopLevelWindow& window, std::int16_t& counter);

// True when two or more GIS windows are open.
bool MultipleArcviewSessions(const std::vector<TopLevelWindow>& windows);

} // namespace qln::viewer
