// quillon-map: the soils map that works beside the viewer in the desktop GIS's place.
#include "GisServices.h"
#include "MapWindow.h"
#include "TerminationSignal.h"

#include "quillon/dde/Dde.h"
#include "quillon/desktop/QtDesktop.h"
#include "quillon/setup/Setup.h"
#include "quillon/tools/CommandLine.h"

#include <QApplication>

#include <filesystem>
#include <iostream>
#include <optional>

namespace {

// The shapefile a start without one opens: the user's copy of the sample, set up on the
// first start; nothing when the user has removed it.
std::optional<std::string> sampleShapefile(const std::filesystem::path& prefix)
{
    const auto sample = prefix / "soils" / "sample_soils.shp";
    std::error_code error;
    if (!std::filesystem::is_regular_file(sample, error)) return std::nullopt;
    return sample.string();
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App cli {"The soils map: shows a soils shapefile, starts Quillon on it and draws its ratings"};
    std::vector<std::string> shapefiles;
    std::string results;
    std::string viewer;
    std::string exportPng;
    bool startQuillon = false;
    bool verbose = false;
    std::string printThemeOf;
    std::string enableValue;
    cli.add_option("shapefile", shapefiles, "soils shapefiles (.shp) to open (default: the sample survey)");
    cli.add_option("--results", results, "results database to read MU_Data from (default: the viewer's settings)");
    cli.add_option("--viewer", viewer, "the viewer program (default: quillon beside this program)");
    cli.add_option("--export", exportPng, "write the map as PNG, with its world file (.pgw), after drawing and quit");
    cli.add_flag("--start-quillon", startQuillon,
                 "start the viewer on the active soils theme (the last one opened), as Start Quillon does");
    cli.add_flag("--verbose", verbose, "print the viewer's script calls and their outcome");
    cli.add_option("--print-theme", printThemeOf,
                   "print the theme of a display argument column|title|legend on the one shapefile as JSON "
                   "and quit, for a GIS that draws it itself");
    cli.add_option("--write-enable", enableValue,
                   "write the handshake value EnableQLNDialog (Y: the viewer's soils theme is active) and quit");
    // Parsed before the window system is opened: --help and --version need no display.
    if (const auto status = qln::tools::parseCommandLine(cli, argc, argv, "quillon-map"))
        return *status;

    if (!printThemeOf.empty()) {
        if (shapefiles.size() != 1) {
            std::cerr << "quillon-map: --print-theme needs exactly one shapefile\n";
            return 64;
        }
        return printTheme(shapefiles.front(), printThemeOf,
                          results.empty() ? std::nullopt : std::optional<std::filesystem::path>(results));
    }
    if (!enableValue.empty())
        return writeEnable(enableValue);

    // With a results database of its own the map needs nothing of the user's installation;
    // otherwise the first start sets it up, and a start without a shapefile shows the sample.
    if (results.empty()) {
        try {
            const auto prefix = qln::setup::setUpOnFirstStart(std::filesystem::canonical("/proc/self/exe"));
            if (const auto sample = sampleShapefile(prefix); shapefiles.empty() && sample)
                shapefiles.push_back(*sample);
        } catch (const std::exception& e) {
            std::cerr << "quillon-map: the first-start set-up failed: " << e.what() << '\n';
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("quillon-map");
    qln::desktop::installQtHandlers();
    MapOptions options;
    options.viewerProgram = viewer.empty() ? QApplication::applicationDirPath() + "/quillon" : QString::fromStdString(viewer);
    if (!results.empty())
        options.results = results;
    options.verbose = verbose;

    std::unique_ptr<MapWindow> window;
    try {
        window = std::make_unique<MapWindow>(options);
    } catch (const qln::dde::DdeError& e) {
        std::cerr << "quillon-map: " << e.what() << '\n';
        return 1;
    }
    for (const auto& shp : shapefiles)
        window->openSoilsTheme(QString::fromStdString(shp));
    window->show();
    closeOnTerminationSignals(*window);
    if (startQuillon)
        window->startViewer();
    if (!exportPng.empty()) {
        QObject::connect(&window->canvas(), &MapCanvas::drawingFinished, window.get(), [&] {
            const bool ok = window->exportPng(QString::fromStdString(exportPng));
            // As the command-line tools do: 74 when the output could not be written.
            QApplication::exit(ok ? 0 : 74);
        });
    }
    return QApplication::exec();
}
