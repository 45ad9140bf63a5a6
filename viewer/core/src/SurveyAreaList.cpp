#include "quillon/viewer/SurveyAreaList.h"

#include "quillon/viewer/SoilsDatabase.h"

#include <cstdlib>
#include <system_error>

namespace qln::viewer {

namespace fs = std::filesystem;

fs::path fallbackFolder()
{
    const char* home = std::getenv("HOME");
    return home && *home ? fs::path(home) : fs::path("/");
}

SurveyAreaList PopulateSSAList(const fs::path& folder, const std::string& soilsDataFile)
{
    SurveyAreaList list;
    std::error_code error;
    list.folder = fs::is_directory(folder, error) ? folder : fallbackFolder();
    for (fs::directory_iterator it(list.folder, error), end; !error && it != end; it.increment(error)) {
        if (isSoilsFile(it->path())) list.files.push_back(it->path().filename().string());
    }
    for (std::size_t i = 0; i < list.files.size(); ++i) {
        if (list.files[i] == soilsDataFile) {
            list.selected = i;
            break;
        }
    }
    return list;
}

} // namespace qln::viewer
