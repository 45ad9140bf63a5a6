#include "quillon/gis/ResultsLocation.h"

#include "quillon/ado/DataSources.h"

namespace qln::gis {

namespace {

constexpr const char* kSettingsKey = "Software\\Kelvaro\\Quillon 2000";

std::string text(const registry::Store& store, const char* name)
{
    const auto v = store.getValue(registry::Hive::LocalMachine, kSettingsKey, name);
    return v ? v->text : std::string();
}

} // namespace

std::optional<std::filesystem::path> resultsFromSettings(const registry::Store& store)
{
    if (const std::string dsn = text(store, "OutputDBDSN"); !dsn.empty())
        if (auto file = ado::findDataSource(dsn))
            return file;
    // The folder is concatenated without separators, as the viewer derives it.
    const std::string folder = text(store, "InstalledDrive") + text(store, "SoilsPath") + text(store, "OutputDBPath");
    const std::string file = text(store, "OutputDBFile");
    if (folder.empty() || file.empty())
        return std::nullopt;
    return std::filesystem::path(folder) / file;
}

void writeEnableValue(registry::Store& store, const std::string& value)
{
    store.setString(registry::Hive::LocalMachine, kSettingsKey, "EnableQLNDialog", value);
}

} // namespace qln::gis
