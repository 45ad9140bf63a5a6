#include "quillon/gis/ResultsLocation.h"

#include "quillon/SettingsNames.h"
#include "quillon/ado/DataSources.h"

namespace qln::gis {

namespace {

using qln::settings::Setting;

std::string text(const registry::Store& store, Setting setting)
{
    const auto v = store.getValue(registry::Hive::LocalMachine, settings::kSettingsKey, settings::nameOf(setting));
    return v ? v->text : std::string();
}

} // namespace

std::optional<std::filesystem::path> resultsFromSettings(const registry::Store& store)
{
    if (const std::string dsn = text(store, Setting::OutputDBDSN); !dsn.empty())
        if (auto file = ado::findDataSource(dsn))
            return file;
    // The folder is concatenated without separators, as the viewer derives it.
    const std::string folder =
        text(store, Setting::InstalledDrive) + text(store, Setting::SoilsPath) + text(store, Setting::OutputDBPath);
    const std::string file = text(store, Setting::OutputDBFile);
    if (folder.empty() || file.empty())
        return std::nullopt;
    return std::filesystem::path(folder) / file;
}

void writeEnableValue(registry::Store& store, const std::string& value)
{
    store.setString(registry::Hive::LocalMachine, settings::kSettingsKey, settings::kEnableQLNDialog, value);
}

} // namespace qln::gis
