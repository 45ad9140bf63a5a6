#pragma once

#include "ResultWriter.h"
#include "quillon/ado/Recordset.h"
#include "quillon/engine/clsQuillon.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

namespace qln::rate {

// A mistake in the options: the program prints it with the usage and exits 64.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A run that cannot start for a reason the user can mend (exit 2).
class RefusedRun : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The choices of one run, as the options give them; absent ones take the values a hidden
// control gives the viewer's run.
struct RateOptions {
    std::filesystem::path soils;
    std::filesystem::path rules;
    std::string attribute;
    std::optional<std::string> method;  // a code or one of the method names
    std::optional<std::string> column;
    long top = -1;
    long bottom = -1;
    long beginMonth = -1;
    long endMonth = -1;
    long ignoreBelow = -1;
    bool nullsZero = false;
    long rate = 0;
    std::optional<std::string> list;  // LABEL=ITEM
    std::string mapunits = "all";     // "all" or a dBase file
};

// The rules database bundled with the program, beside it in ../share/quillon.
std::filesystem::path bundledRules(const std::filesystem::path& executable);

// The connection string of a soils file.
std::string soilsConnectString(const std::filesystem::path& soils);

// The method code: an integer as it is, a method name through ValidAlgorithms, or the
// attribute's default method (-1 when it has none).
long methodCode(engine::clsQuillon& engine, const std::string& nodeKey, const std::optional<std::string>& method);

// The one-row UserData record of the run for the attribute record.
ado::Recordset buildUserData(engine::clsQuillon& engine, const RateOptions& options, const ado::Recordset& attr);

// The map units to rate: every map unit of the soils database, or the distinct (mukey,
// musym) pairs with a mukey of a GIS attribute file.
ado::Recordset loadMapunits(engine::clsQuillon& engine, const RateOptions& options);

// The rules tree: folders, and each attribute with its key, methods and options.
void listAttributes(engine::clsQuillon& engine, std::ostream& out);

} // namespace qln::rate
