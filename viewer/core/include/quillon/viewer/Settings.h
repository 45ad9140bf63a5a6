#pragma once

// The viewer's settings: the values of the settings key (quillon/SettingsNames.h), their
// reading at start-up, the folders derived from them and the checks of the files and data
// sources they name.

#include "quillon/SettingsNames.h"
#include "quillon/reporting/clsReporter.h"
#include "quillon/utils/clsGenUtils.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qln::viewer {

using settings::kEnableQLNDialog;
using settings::kSettingNames;
using settings::kSettingsKey;
using settings::Setting;

struct Settings {
    std::array<std::string, kSettingNames.size()> values;

    // Derived by SetFileDefaults, by plain concatenation.
    std::string OutputFolder;    // InstalledDrive + SoilsPath + OutputDBPath
    std::string LegendFolder;    // InstalledDrive + SoilsPath + ArcviewLegendPath
    std::string soilsDataFolder; // SoilsDataPath until the user browses elsewhere
    std::string helpFile;        // VBHelpPath + VBHelpFile; "" while help is off
    std::vector<std::string> DSNList;

    std::string& operator[](Setting s) { return values[static_cast<std::size_t>(s)]; }
    const std::string& operator[](Setting s) const { return values[static_cast<std::size_t>(s)]; }
};

// What the settings procedures talk to: the utilities for the registry, the reporter for
// messages, and the machine's data source names.
struct SettingsContext {
    utils::clsGenUtils& genutils;
    reporting::clsReporter& reporter;
};

// Reads every value in the table's order while the reads succeed; from the first failing
// one on, each value is reported with message 402 (gmrFATAL, gmrDISP) and not read.
// Returns the status of the last attempted read (1 for success).
int GetRegistrySettings(SettingsContext& context, Settings& settings);

// The whole start-up step: reads the settings, derives the folders, checks the files and
// both data sources (OutputDBDSN and QuillonDBDSN; a missing one is message 804). 1 or -1.
int SetFileDefaults(SettingsContext& context, Settings& settings);

// The pristine and working results databases must exist (message 602, -1); a missing
// legend file (message 1218) or help file (message 602 as information, help switched
// off) lets start-up go on. 1 or -1.
int CheckIfRegFilesExist(SettingsContext& context, Settings& settings);

// 1 when name equals an entry of list exactly (letter case counts), else -1.
int CheckValidDSN(std::string_view name, const std::vector<std::string>& list);

// Asks to be called back when a value of the settings key is set; reports
// "Registry Notify Change value not available" to the log when that cannot be had.
int RequestRegistryNotify(SettingsContext& context, RegChangeCallback callback);

} // namespace qln::viewer
