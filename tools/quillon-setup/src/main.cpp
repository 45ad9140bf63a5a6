// quillon-setup: installs Quillon's data, settings, data sources, component registrations
// and desktop entry for the user; --uninstall takes them away again, --check lists what
// is missing, --import puts survey downloads into the soils folder the viewer lists.

#include "DownloadImport.h"
#include "quillon/setup/Layout.h"
#include "quillon/setup/Setup.h"

#include "quillon/tools/CommandLine.h"

#include <iostream>

namespace {

constexpr int kIncomplete = 1;
constexpr int kFailed = 2;

std::filesystem::path absoluteFolder(const std::string& text)
{
    auto folder = std::filesystem::absolute(text).lexically_normal();
    if (!folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();
    return folder;
}

// The name an imported survey takes in the soils folder: the download's own name (of the
// folder above a tabular folder).
std::string surveyName(const std::filesystem::path& download)
{
    auto path = std::filesystem::absolute(download).lexically_normal();
    if (!path.has_filename())
        path = path.parent_path();
    if (path.filename() == "tabular")
        path = path.parent_path();
    return path.stem().string();
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Installs Quillon for this user: data, settings, data sources, components, desktop entry"};
    std::string prefix;
    bool remove = false;
    bool verify = false;
    app.add_option("--prefix", prefix, "Folder of the installed data (default: $XDG_DATA_HOME/quillon)");
    auto* uninstallFlag = app.add_flag("--uninstall", remove, "Remove everything an install wrote");
    app.add_flag("--check", verify, "List what is missing; exit status 1 when anything is")->excludes(uninstallFlag);
    std::vector<std::string> imports;
    std::string importName;
    auto* importOption =
        app.add_option("--import", imports,
                       "Read survey downloads (folders or zips; several make one database) into the soils folder, "
                       "where the viewer lists them, with their map layers")
            ->excludes(uninstallFlag);
    app.add_option("--name", importName, "Name of the imported soils database (default: the first download's name)")
        ->needs(importOption);
    if (const auto status = qln::tools::parseCommandLine(app, argc, argv, "quillon-setup"))
        return *status;

    try {
        using namespace qln::setup;
        std::optional<Sources> sources;
        try {
            sources = locateSources(std::filesystem::canonical("/proc/self/exe"));
        } catch (const SetupError&) {
            if (!remove && imports.empty()) throw;  // uninstalling and importing need no bundle
        }

        Target target;
        if (!prefix.empty())
            target.prefix = absoluteFolder(prefix);
        else if (const auto installed = remove || !imports.empty() ? installedPrefix() : std::nullopt)
            target.prefix = *installed;
        else
            target.prefix = defaultPrefix();
        if (target.prefix == target.prefix.root_path())
            throw SetupError("The prefix " + target.prefix.string() + " is a file system root; choose a folder");
        target.desktopHome = userDataHome();

        if (!imports.empty()) {
            const std::string name = importName.empty() ? surveyName(imports.front()) : importName;
            if (name.empty() || name.find('/') != std::string::npos)
                throw SetupError("'" + name + "' cannot name a soils database; give --name");
            // The viewer lists the soils databases of its folder by the ".mdb" ending; the data
            // layer knows the SQLite file by its header.
            const auto database = target.soilsFolder() / (name + ".mdb");
            std::filesystem::create_directories(target.soilsFolder());
            qln::download::ImportReport report;
            report.loaded = [](std::string_view survey, std::string_view table, std::int64_t rows) {
                std::cerr << "read " << table << " (" << rows << " rows) of " << survey << "\n";
            };
            report.note = [](const std::string& note) { std::cerr << "quillon-setup: " << note << "\n"; };
            qln::download::importDownloads({imports.begin(), imports.end()}, database, report);
            std::cout << "The survey is in " << database.string() << "; the viewer lists it as " << name << ".\n";
            return 0;
        }
        if (verify) {
            const auto missing = check(*sources, target);
            for (const auto& line : missing) std::cout << line << "\n";
            if (missing.empty()) std::cout << "Nothing is missing under " << target.prefix.string() << ".\n";
            return missing.empty() ? 0 : kIncomplete;
        }
        if (remove) {
            const auto problems = uninstall(sources ? &*sources : nullptr, target, std::cout);
            if (!problems.empty()) {
                std::cerr << "quillon-setup: the uninstall left " << problems.size() << " problem(s), listed above\n";
                return kIncomplete;
            }
            std::cout << "Quillon has been removed.\n";
            return 0;
        }
        install(*sources, target, std::cout);
        std::cout << "Quillon is installed. Start it with " << (sources->programs / "quillon").string() << "\n";
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "quillon-setup: " << error.what() << "\n";
        return kFailed;
    }
}
