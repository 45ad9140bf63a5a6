#pragma once

// What the rating benchmarks share: their command line, the cases they rate, the inputs of
// a case as quillon-rate builds them, and the time the soils database alone takes to return
// the rows of a run's queries.

#include "RateRun.h"
#include "quillon/engine/clsQuillon.h"

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qln::bench {

// SOILS [--rules FILE] [--threads N] [--batch N] [--save DIR]; SOILS is a file or a
// postgresql:// address.
struct BenchOptions {
    std::string soils;
    std::filesystem::path rules;  // the bundled rules unless given
    std::optional<unsigned> threads;
    std::optional<unsigned> batch;
    std::optional<std::filesystem::path> save;
};

// Reads the command line, accepting only the options named in `allowed` ("--threads", ...).
// On a mistake prints the usage line to standard error and gives nothing.
std::optional<BenchOptions> parseBenchOptions(int argc, char** argv, std::initializer_list<std::string_view> allowed);

// One rating run: attribute and method, a soil layer and a month range (-1 where the
// attribute has no such option).
struct RateCase {
    const char* attribute;
    const char* method;
    long top, bottom, beginMonth, endMonth;
};

// Every method once, over the attribute tables a national run meets.
const std::vector<RateCase>& rateCases();

// The inputs of a case as quillon-rate builds them, and the SHAPE command of its run.
struct CaseInputs {
    rate::RateOptions options;
    long method = -1;  // -1 for a map-unit attribute, which offers none
    ado::Recordset attr;
    ado::Recordset userData;
    ado::Recordset mapunits;
    std::string shapeCommand;
};
CaseInputs prepareCase(engine::clsQuillon& engine, const RateCase& rateCase, const BenchOptions& options);

// A copy of the SQLite file with the same tables, column types and rows in the same order but
// no key or index, as an Access file's mirror is: SOILS.noindex.sqlite beside it, made again
// when older than SOILS.
std::filesystem::path unindexedCopy(const std::filesystem::path& soils);

// Seconds the soils database alone takes to return every row and value of the other
// queries and of every level of the SHAPE command (SQLite through its C API; a server
// through libpq, the SQL translated as the data layer translates it).
double readTime(const std::string& soils, const std::string& shapeCommand, std::vector<std::string> otherQueries = {});

} // namespace qln::bench
