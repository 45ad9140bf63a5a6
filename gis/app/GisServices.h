#pragma once

// What another desktop GIS in the map's place asks of the map's own code, without a window:
// a rating theme as the map would draw it, and the handshake value the viewer watches.

#include <filesystem>
#include <optional>
#include <string>

// Prints the theme of a display argument (column|title|legend) on the soils shapefile as
// JSON on standard output; 0, or 1 with the reason on standard error.
int printTheme(const std::filesystem::path& shp, const std::string& argument,
               const std::optional<std::filesystem::path>& results);

// Writes "EnableQLNDialog" ("Y" or "N"); 0, or 1 with the reason on standard error.
int writeEnable(const std::string& value);
