// The viewer program: start-up, then the window's events until it closes.

#include "ReporterDisplay.h"
#include "frmQuillon.h"
#include "Startup.h"
#include "quillon/desktop/QtDesktop.h"
#include "quillon/setup/Setup.h"
#include "quillon/tools/CommandLine.h"

#include <QApplication>

#include <filesystem>
#include <iostream>
#include <optional>
#include <string_view>

namespace {

constexpr const char* kHelp =
    "Usage: quillon [\"FOLDER|ATTRIBUTEFILE\"]\n"
    "Rates the map units of a soil survey and writes its reports.\n"
    "The soils map starts it with the folder and attribute file of the shapefile it shows,\n"
    "which links the two; without it the viewer works alone.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Print this help and exit\n"
    "  --version      Print the version and exit\n";

// --help, --version and wrong options are answered before the window system is opened:
// they need no display. The link argument itself never starts with a dash.
std::optional<int> answerOptions(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.empty() || arg.front() != '-') continue;
        if (arg == "-h" || arg == "--help") {
            std::cout << kHelp;
            return std::cout.flush() ? 0 : qln::tools::kExitOutput;
        }
        if (arg == "--version") {
            std::cout << qln::tools::versionLine("quillon") << "\n";
            return std::cout.flush() ? 0 : qln::tools::kExitOutput;
        }
        qln::tools::reportUsageError("quillon", "unknown option " + std::string(arg));
        return qln::tools::kExitUsage;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    if (const auto status = answerOptions(argc, argv)) return *status;
    // The first start sets up the user's data and settings; should that fail, start-up
    // reports what is missing in its own words.
    try {
        qln::setup::setUpOnFirstStart(std::filesystem::canonical("/proc/self/exe"));
    } catch (const std::exception& error) {
        std::cerr << "quillon: the first-start set-up failed: " << error.what() << "\n";
    }

    QApplication app(argc, argv);
    qln::desktop::installQtHandlers();
    qln::reporter::setDisplayHandler(std::make_shared<qln::viewer::ReporterDisplay>());

    qln::viewer::Session session;
    // The GIS passes one argument; should a shell have split it at blanks, join it again.
    for (int i = 1; i < argc; ++i) session.commandLine += (i > 1 ? " " : "") + std::string(argv[i]);

    const std::unique_ptr<qln::viewer::frmQuillon> form = qln::viewer::Main(session);
    if (!form) return 1;
    // Ended during start-up (the GIS closed while the database opened): nothing is left to wait for.
    if (form->unloaded()) return 0;
    return QApplication::exec();
}
