#include "quillon/viewer/Settings.h"

#include "quillon/ado/DataSources.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace qln::viewer {

namespace fs = std::filesystem;
using namespace reporting;

namespace {

constexpr int kMsgText = 1;
constexpr int kMsgRegistryQuery = 402;
constexpr int kMsgFileNotFound = 602;
constexpr int kMsgDsnNotFound = 804;
constexpr int kMsgNoLegends = 1218;

bool isFile(const fs::path& path)
{
    std::error_code ignored;
    return fs::is_regular_file(path, ignored);
}

bool hasLegendFile(const fs::path& folder)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() == ".avl") return true;
    }
    return false;
}

// A data source must be defined; 804 names it when it is not.
int checkDataSource(SettingsContext& context, const Settings& settings, Setting which)
{
    const std::string& name = settings[which];
    const int status = CheckValidDSN(name, settings.DSNList);
    if (status != 1) context.reporter.cReportMsg(gmrERR, gmrDISP, "SetFileDefaults", kMsgDsnNotFound, 0, {name});
    return status;
}

} // namespace

int GetRegistrySettings(SettingsContext& context, Settings& settings)
{
    int status = 1;
    for (std::size_t i = 0; i < kSettingNames.size(); ++i) {
        if (status == 1) {
            std::string value;
            status = context.genutils.cGetRegistryString(utils::HKEY_LOCAL_MACHINE, kSettingsKey, kSettingNames[i], value);
            if (status == 1) {
                settings.values[i] = value;
                continue;
            }
        }
        context.reporter.cReportMsg(gmrFATAL, gmrDISP, "GetRegistrySettings", kMsgRegistryQuery, 0, {kSettingNames[i]});
    }
    return status;
}

int SetFileDefaults(SettingsContext& context, Settings& settings)
{
    const int read = GetRegistrySettings(context, settings);
    if (read != 1) return read;

    const std::string install = settings[Setting::InstalledDrive] + settings[Setting::SoilsPath];
    settings.OutputFolder = install + settings[Setting::OutputDBPath];
    settings.LegendFolder = install + settings[Setting::ArcviewLegendPath];
    settings.soilsDataFolder = settings[Setting::SoilsDataPath];
    settings.helpFile.clear();

    const int files = CheckIfRegFilesExist(context, settings);
    if (files != 1) return files;
    if (!settings[Setting::VBHelpFile].empty())
        settings.helpFile = settings[Setting::VBHelpPath] + settings[Setting::VBHelpFile];
    settings.DSNList = ado::dataSourceNames();

    // Both must be defined: without the results data source every run would fail later.
    const int output = checkDataSource(context, settings, Setting::OutputDBDSN);
    const int rules = checkDataSource(context, settings, Setting::QuillonDBDSN);
    return output == 1 ? rules : output;
}

int CheckIfRegFilesExist(SettingsContext& context, Settings& settings)
{
    const fs::path folder = settings.OutputFolder;
    for (Setting file : {Setting::OutputDBOrig, Setting::OutputDBFile}) {
        const fs::path path = folder / settings[file];
        if (!isFile(path)) {
            context.reporter.cReportMsg(gmrERR, gmrDISP, "CheckIfRegFilesExist", kMsgFileNotFound, 0, {path.string()});
            return -1;
        }
    }
    if (!hasLegendFile(settings.LegendFolder))
        context.reporter.cReportMsg(gmrERR, gmrDISP, "CheckIfRegFilesExist", kMsgNoLegends, 0, {settings.LegendFolder});
    const std::string help = settings[Setting::VBHelpPath] + settings[Setting::VBHelpFile];
    if (settings[Setting::VBHelpFile].empty() || !isFile(help)) {
        context.reporter.cReportMsg(gmrINFO, gmrDISP, "CheckIfRegFilesExist", kMsgFileNotFound, 0, {help});
        settings[Setting::VBHelpFile].clear();
    }
    return 1;
}

int CheckValidDSN(std::string_view name, const std::vector<std::string>& list)
{
    return std::find(list.begin(), list.end(), name) != list.end() ? 1 : -1;
}

int RequestRegistryNotify(SettingsContext& context, RegChangeCallback callback)
{
    const int status =
        context.genutils.cNotifyChangeKey(utils::HKEY_LOCAL_MACHINE, kSettingsKey, utils::REG_NOTIFY_CHANGE_LAST_SET, callback);
    if (status != 1)
        context.reporter.cReportMsg(gmrERR, gmrLOG, "RequestRegistryNotify", kMsgText, 0,
                                    {"Registry Notify Change value not available"});
    return status;
}

} // namespace qln::viewer
