#include "quillon/setup/Layout.h"

#include "quillon/SettingsNames.h"

#include <cstdlib>

namespace qln::setup {

using settings::nameOf;
using settings::Setting;

namespace {

bool hasData(const std::filesystem::path& folder)
{
    std::error_code error;
    return std::filesystem::is_regular_file(folder / "quillon-rules.sqlite", error);
}

// A folder path with the "/" the settings concatenate after it.
std::string withSlash(const std::filesystem::path& folder)
{
    std::string text = folder.string();
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

} // namespace

Sources locateSources(const std::filesystem::path& executable)
{
    const auto programs = executable.parent_path();
    const auto root = programs.parent_path();
    Sources sources{programs, {}, root / "share" / "quillon"};
    if (!hasData(sources.data))
        throw SetupError("No bundled data beside the program: " + (sources.data / "quillon-rules.sqlite").string() +
                         " is missing (build the quillon-data target)");
    std::error_code error;
    sources.systemMenu = std::filesystem::exists(root / "share" / "applications" / kMenuEntry, error);
    for (const char* libdir : {QUILLON_INSTALL_PKGLIBDIR, "lib"}) {
        if (std::filesystem::exists(root / libdir / "libQLN2000.so", error)) {
            sources.libraries = root / libdir;
            return sources;
        }
    }
    throw SetupError("No libraries beside the program: libQLN2000.so is in neither " +
                     (root / QUILLON_INSTALL_PKGLIBDIR).string() + " nor " + (root / "lib").string());
}

std::filesystem::path userDataHome()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data && std::filesystem::path(data).is_absolute()) return data;
    const char* home = std::getenv("HOME");
    if (!home || !*home) throw SetupError("Neither XDG_DATA_HOME nor HOME is set: give --prefix");
    return std::filesystem::path(home) / ".local" / "share";
}

std::filesystem::path defaultPrefix()
{
    return userDataHome() / "quillon";
}

std::vector<NamedValue> installationSettings(const Target& target)
{
    // The viewer joins drive, installation folder and sub-folder without separators: the
    // drive is the root, the installation folder the prefix below it.
    const std::string installed = target.prefix.lexically_relative("/").string();
    return {
        {nameOf(Setting::InstalledDrive), "/"},
        {nameOf(Setting::SoilsPath), installed.empty() || installed == "." ? "" : installed + "/"},
        {nameOf(Setting::ArcviewLegendPath), target.legendFolder().filename().string()},
        {nameOf(Setting::QuillonDBDSN), kRulesDsn},
        {nameOf(Setting::OutputDBPath), target.resultsFolder().filename().string()},
        {nameOf(Setting::OutputDBFile), target.workingResults().filename().string()},
        {nameOf(Setting::OutputDBDSN), kOutputDsn},
        {nameOf(Setting::OutputDBOrig), target.pristineResults().filename().string()},
        {nameOf(Setting::VBHelpPath), withSlash(target.helpFolder())},
        {nameOf(Setting::VBHelpFile), "contents.html"},
    };
}

std::vector<NamedValue> choiceSettings(const Target& target)
{
    return {
        {nameOf(Setting::SoilsDataPath), withSlash(target.soilsFolder())},
        {nameOf(Setting::SoilsDataFile), "sample.mdb"},
    };
}

std::vector<NamedValue> dataSources(const Target& target)
{
    return {
        {kRulesDsn, target.rulesDatabase().string()},
        {kOutputDsn, target.workingResults().string()},
    };
}

} // namespace qln::setup
