#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qln::viewer {

// The soils databases offered in the survey-area combo box.
struct SurveyAreaList {
    std::filesystem::path folder;   // the folder listed
    std::vector<std::string> files; // file names, in the folder's enumeration order
    std::optional<std::size_t> selected;  // the entry equal to the remembered file
};

// The folder listed instead of a soils data folder that does not exist: the user's home.
std::filesystem::path fallbackFolder();

// The soils files of folder (isSoilsFile: judged by content, whatever their names); when
// folder is not a directory, those of fallbackFolder(). The entry equal to
// soilsDataFile is selected. An unreadable folder gives an empty list.
SurveyAreaList PopulateSSAList(const std::filesystem::path& folder, const std::string& soilsDataFile);

} // namespace qln::viewer
