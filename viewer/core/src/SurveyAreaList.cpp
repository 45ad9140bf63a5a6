#include "quillon/viewer/SurveyAreaList.h"

#include "quillon/Text.h"

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
        std::error_code kindError;
        if (!it->is_regular_file(kindError)) continue;
        const std::string name = it->path().filename().string();
        if (trimBlanks(name).ends_with(".mdb")) list.files.push_back(name);
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
