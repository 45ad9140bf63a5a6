#pragma once

// Where quillon-setup takes things from and where it puts them.
//   locateSources(exe)   the programs, libraries and bundled data beside a program, in a
//                        build tree (bin/, lib/, share/quillon/) or an installed one
//                        (bin/, <libdir>/quillon/, share/quillon/)
//   Target               the installation: data under a prefix, the desktop entry and icon
//                        under the user's data folder, and the settings that name them

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qln::setup {

// A failure that ends the setup; the message names the file, value or library.
class SetupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Sources {
    std::filesystem::path programs;   // holds quillon, quillon-rate, ...
    std::filesystem::path libraries;  // holds libQLN2000.so, ...
    std::filesystem::path data;       // holds quillon-rules.sqlite, legends/, help/, sample/
    // An installed tree brings its own menu entries: the user then gets none of their own,
    // which would hide them.
    bool systemMenu = false;
};

// The menu entry an installed tree puts under share/applications.
inline constexpr const char* kMenuEntry = "com.kelvaro.Quillon.desktop";

// Throws SetupError when no bundled data lies beside the program.
Sources locateSources(const std::filesystem::path& executable);

// $XDG_DATA_HOME, else ~/.local/share.
std::filesystem::path userDataHome();
// userDataHome()/quillon.
std::filesystem::path defaultPrefix();

// The data source names the setup defines.
inline constexpr const char* kRulesDsn = "QuillonDSN2000";  // the engine's fixed name
inline constexpr const char* kOutputDsn = "QuillonOutput";

struct Target {
    std::filesystem::path prefix;       // the data
    std::filesystem::path desktopHome;  // applications/ and icons/ below it

    std::filesystem::path rulesDatabase() const { return prefix / "quillon-rules.sqlite"; }
    std::filesystem::path resultsFolder() const { return prefix / "results"; }
    std::filesystem::path pristineResults() const { return resultsFolder() / "results-pristine.sqlite"; }
    std::filesystem::path workingResults() const { return resultsFolder() / "results.sqlite"; }
    std::filesystem::path legendFolder() const { return prefix / "legends"; }
    std::filesystem::path helpFolder() const { return prefix / "help"; }
    // The reports' templates: drive, installation folder, then "Templates", as the viewer joins them.
    std::filesystem::path templateFolder() const { return prefix / "Templates"; }
    std::filesystem::path soilsFolder() const { return prefix / "soils"; }
    std::filesystem::path manifest() const { return prefix / ".quillon-setup"; }
    std::filesystem::path desktopFile() const { return desktopHome / "applications" / "quillon.desktop"; }
    std::filesystem::path iconFile() const
    {
        return desktopHome / "icons" / "hicolor" / "scalable" / "apps" / "quillon.svg";
    }
};

using NamedValue = std::pair<std::string, std::string>;

// The settings that describe the installation, rewritten by every run: every value the
// viewer reads at start-up except the last chosen soils folder and file.
std::vector<NamedValue> installationSettings(const Target& target);
// The soils folder and file: the viewer rewrites them when the user picks another
// database, so the setup writes them only when they are missing.
std::vector<NamedValue> choiceSettings(const Target& target);

// Data source name -> database file.
std::vector<NamedValue> dataSources(const Target& target);

} // namespace qln::setup
