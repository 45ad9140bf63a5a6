#pragma once

// The registry keys and value names that the programs share, all under HKEY_LOCAL_MACHINE:
// the viewer's settings, the data sources and the system information program. Whoever
// reads or writes one of them takes its name from here.

#include <array>
#include <cstddef>

namespace qln::settings {

inline constexpr const char* kSettingsKey = "Software\\Kelvaro\\Quillon 2000";

// The values the viewer reads at start-up, in the order it reads them.
enum class Setting : std::size_t {
    InstalledDrive,
    SoilsPath,
    ArcviewLegendPath,
    SoilsDataPath,
    SoilsDataFile,
    QuillonDBDSN,
    OutputDBPath,
    OutputDBFile,
    OutputDBDSN,
    OutputDBOrig,
    VBHelpPath,
    VBHelpFile,
};
inline constexpr std::array<const char*, 12> kSettingNames = {
    "InstalledDrive", "SoilsPath",    "ArcviewLegendPath", "SoilsDataPath", "SoilsDataFile", "QuillonDBDSN",
    "OutputDBPath",   "OutputDBFile", "OutputDBDSN",       "OutputDBOrig",  "VBHelpPath",    "VBHelpFile",
};
constexpr const char* nameOf(Setting setting)
{
    return kSettingNames[static_cast<std::size_t>(setting)];
}

// Written by the GIS side while the viewer runs; read on each change, never at start-up.
inline constexpr const char* kEnableQLNDialog = "EnableQLNDialog";

// A data source is the key kDataSourcesKey\<name> with its driver and database file, and
// a value <name> under kDataSourceListKey.
inline constexpr const char* kDataSourcesKey = "Software\\ODBC\\ODBC.INI";
inline constexpr const char* kDataSourceListKey = "Software\\ODBC\\ODBC.INI\\ODBC Data Sources";
inline constexpr const char* kDataSourceDriver = "Driver";
inline constexpr const char* kDataSourceDatabase = "Database";

// The system information program the About box starts: its path, or the folder it lies in.
inline constexpr const char* kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* kSysInfoPath = "PATH";
inline constexpr const char* kSysInfoLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char* kSysInfoLocation = "MSINFO";

} // namespace qln::settings
