#include "quillon/viewer/DesktopChecks.h"

#include "quillon/Error.h"
#include "quillon/desktop/FileDialog.h"
#include "quillon/desktop/ShortNames.h"
#include "quillon/desktop/WindowDirectory.h"
#include "quillon/viewer/SoilsDatabase.h"

namespace qln::viewer {

namespace {

// The lock file's name in the user's private runtime folder.
constexpr const char* kInstanceLockName = "quillon";

} // namespace

std::vector<TopLevelWindow> desktopWindows()
{
    std::vector<TopLevelWindow> windows;
    for (const desktop::WindowInfo& info : desktop::topLevelWindows()) windows.push_back({info.id, info.title, info.visible});
    return windows;
}

bool QLNIsRunning(std::optional<desktop::InstanceLock>& lock)
{
    if (QLNIsRunning(desktopWindows())) return true;
    lock = desktop::InstanceLock::tryAcquire(kInstanceLockName);
    return !lock.has_value();
}

bool CheckIfWindowRunning(const std::string& caption, std::string& hWnd, std::int16_t matchCount)
{
    const auto found = CheckIfWindowRunning(desktopWindows(), caption, matchCount);
    if (found) hWnd = *found;
    return found.has_value();
}

bool MultipleArcviewSessions()
{
    return MultipleArcviewSessions(desktopWindows());
}

bool AccessFileSelect(const std::string& initialFolder, std::string& folder, std::string& fileName)
{
    desktop::OpenFileRequest request;
    request.initialFolder = initialFolder;
    // Soils files are told by their content, whatever their names end in.
    request.filters = desktop::parseFilter("Soils database (Access or SQLite) (*)|*");
    request.offers = [](const std::filesystem::path& file) { return isSoilsFile(file); };
    request.fileMustExist = true;
    request.hideReadOnly = true;
    const auto choice = desktop::openFile(request);
    if (!choice) return false;
    folder = choice->folder;
    fileName = choice->fileName;
    return true;
}

int GetShortFilename(const std::string& longPath, std::string& shortPath, std::string& shortName)
{
    try {
        const auto found = desktop::shortFileName(longPath);
        if (!found) return -1;
        shortPath = found->path;
        shortName = found->name;
        return 1;
    } catch (...) {
        rethrowWithTrail("GetShortFilename", 1);
    }
}

} // namespace qln::viewer
