#include "GisServices.h"

#include "quillon/gis/GisError.h"
#include "quillon/gis/ResultsLocation.h"
#include "quillon/gis/ThemeJson.h"
#include "quillon/registry/Registry.h"

#include <iostream>

int printTheme(const std::filesystem::path& shp, const std::string& argument,
               const std::optional<std::filesystem::path>& results)
{
    try {
        const auto request = qln::gis::parseDisplayArgument(argument);
        auto layer = std::make_shared<const qln::gis::SoilsLayer>(qln::gis::SoilsLayer::load(shp));
        auto database = results;
        if (!database)
            database = qln::gis::resultsFromSettings(qln::registry::Store::fromEnvironment());
        if (!database)
            throw qln::gis::GisError(
                "No results database is set (OutputDBDSN or the results folder and file of the settings)");
        std::cout << qln::gis::themeJson(qln::gis::makeRatingTheme(std::move(layer), request, *database)) << std::endl;
        return std::cout ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "quillon-map: " << e.what() << '\n';
        return 1;
    }
}

int writeEnable(const std::string& value)
{
    if (value != "Y" && value != "N") {
        std::cerr << "quillon-map: the handshake value must be Y or N, not \"" << value << "\"\n";
        return 1;
    }
    try {
        auto store = qln::registry::Store::fromEnvironment();
        qln::gis::writeEnableValue(store, value);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "quillon-map: " << e.what() << '\n';
        return 1;
    }
}
