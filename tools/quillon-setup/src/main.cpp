// quillon-setup: installs Quillon's data, settings, data sources, component registrations
// and desktop entry for the user; --uninstall takes them away again, --check lists what
// is missing.

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
    if (const auto status = qln::tools::parseCommandLine(app, argc, argv, "quillon-setup"))
        return *status;

    try {
        using namespace qln::setup;
        std::optional<Sources> sources;
        try {
            sources = locateSources(std::filesystem::canonical("/proc/self/exe"));
        } catch (const SetupError&) {
            if (!remove) throw;  // uninstalling needs no bundle
        }

        Target target;
        if (!prefix.empty())
            target.prefix = absoluteFolder(prefix);
        else if (const auto installed = remove ? installedPrefix() : std::nullopt)
            target.prefix = *installed;
        else
            target.prefix = defaultPrefix();
        if (target.prefix == target.prefix.root_path())
            throw SetupError("The prefix " + target.prefix.string() + " is a file system root; choose a folder");
        target.desktopHome = userDataHome();

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
