#pragma once

// The names and texts of the link with the GIS: who serves what, and the exact commands.

#include <string>
#include <string_view>

namespace qln::viewer::link {

// The GIS serves its scripts under ArcView|System; the viewer's main window serves
// Quillon|messageToVB for the GIS's commands.
inline constexpr std::string_view kGisService = "ArcView";
inline constexpr std::string_view kGisTopic = "System";
inline constexpr std::string_view kViewerService = "Quillon";
inline constexpr std::string_view kViewerTopic = "messageToVB";

inline constexpr std::string_view kDisplayScript = "Quillon.DisplayInterps";
inline constexpr std::string_view kCleanupScript = "Quillon.InterpsCleanup";
inline constexpr std::string_view kDynamicLegend = "DYNAMIC";

// Commands the GIS sends to the viewer, compared case-sensitively with the whole text.
inline constexpr std::string_view kExit = "EXIT";
inline constexpr std::string_view kSetFocus = "SETFOCUS";
inline constexpr std::string_view kEnableControls = "ENABLECONTROLS";
inline constexpr std::string_view kDisableControls = "DISABLECONTROLS";

inline constexpr std::string_view kActiveStatus = "Quillon active.";
inline constexpr std::string_view kDisabledStatus =
    "The active theme is not the soils theme that was used to start the Quillon. Activate the original soils theme.";
inline constexpr std::string_view kCaption = "Quillon";
inline constexpr std::string_view kDisabledCaption = "Quillon - Disabled";

// av.run("<script>", "<argument>" ) with nothing else around it.
std::string RunScriptCommand(std::string_view script, std::string_view argument);
// The command that displays a rating column as a theme.
std::string DisplayCommand(std::string_view argument);
// The command that removes the viewer's themes: an empty argument.
std::string CleanupCommand();

// The display argument: column|title|legend, the legend being the legend folder joined with
// the attribute's legend file when it uses one, else "DYNAMIC".
std::string DisplayArgument(std::string_view column, std::string_view title, bool useAvlFile,
                            std::string_view legendFolder, std::string_view avlFileName);

// The theme name, then " - " and the method text when there is one, then the option-list
// item in parentheses directly behind when the attribute has an option list.
std::string ThemeTitle(std::string_view themeName, std::string_view methodText, bool optionList,
                       std::string_view optionItem);

} // namespace qln::viewer::link
