#pragma once

// Where the viewer keeps its results database, read from the viewer's settings: the file of
// the data source OutputDBDSN when it is defined, else the results folder and file.

#include "quillon/registry/Registry.h"

#include <filesystem>
#include <optional>

namespace qln::gis {

std::optional<std::filesystem::path> resultsFromSettings(const registry::Store& store);

// Writes "EnableQLNDialog" under the viewer's settings key; throws RegistryError.
void writeEnableValue(registry::Store& store, const std::string& value);

} // namespace qln::gis
