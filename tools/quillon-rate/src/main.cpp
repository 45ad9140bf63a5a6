// quillon-rate: one rating run of the engine from the command line.
#include "RateRun.h"
#include "ResultWriter.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/ado/DataSources.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <map>

namespace {

constexpr int kExitEngineError = 2;
constexpr int kExitUsage = 64;

// A progress bar on a terminal, shown once a run has taken a second.
class ProgressBar {
public:
    void update(long done, long total)
    {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_start < std::chrono::seconds(1) || (now - m_last < std::chrono::milliseconds(100) && done < total))
            return;
        m_last = now;
        m_shown = true;
        const long percent = total > 0 ? done * 100 / total : 100;
        std::cerr << "\rRating map units [" << std::string(static_cast<std::size_t>(percent / 5), '#')
                  << std::string(static_cast<std::size_t>(20 - percent / 5), ' ') << "] " << percent << "% (" << done
                  << "/" << total << ")" << std::flush;
    }
    ~ProgressBar()
    {
        if (m_shown)
            std::cerr << "\n";
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_last{};
    bool m_shown = false;
};

int run(const qln::rate::RateOptions& options, bool listOnly, qln::rate::OutputFormat format,
        const std::string& output)
{
    if (!std::filesystem::exists(options.rules))
        throw qln::rate::RefusedRun("The rules database " + options.rules.string() + " does not exist.");
    qln::ado::defineDataSource(qln::engine::kRulesDataSource, options.rules);
    const auto ownEngine = qln::engine::createQuillon();
    qln::engine::clsQuillon& engine = *ownEngine;
    if (listOnly) {
        qln::rate::listAttributes(engine, std::cout);
        return 0;
    }
    if (options.soils.empty())
        throw qln::rate::UsageError("--soils is required for a rating run");
    if (options.attribute.empty())
        throw qln::rate::UsageError("--attribute is required for a rating run");

    auto attr = engine.GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='" + qln::escapeQuotes(options.attribute) + "'");
    if (attr.recordCount() <= 0)
        throw qln::rate::RefusedRun("The rules database has no attribute with the key " + options.attribute +
                                    " (see --list-attributes).");
    auto userData = qln::rate::buildUserData(engine, options, attr);
    if (attr.value("SoilLayerOptions").number().value_or(0) != 0 && options.top < 0)
        std::cerr << "quillon-rate: warning: " << options.attribute
                  << " is rated over a soil layer; without --top and --bottom no horizon is kept.\n";
    auto mapunits = qln::rate::loadMapunits(engine, options);

    ProgressBar bar;
    if (::isatty(STDERR_FILENO))
        engine.setProgressHandler([&bar](long done, long total) { bar.update(done, total); });
    auto results = engine.ProcessData(qln::rate::soilsConnectString(options.soils), userData, mapunits);
    if (!results)
        return 0;

    if (output.empty()) {
        qln::rate::writeResults(*results, format, std::cout);
        return 0;
    }
    // Written beside the target and renamed, so a failed run never leaves half a file.
    const std::filesystem::path target = output;
    const std::filesystem::path partial = target.string() + ".partial";
    {
        std::ofstream file(partial);
        if (!file)
            throw qln::rate::RefusedRun("Cannot write " + partial.string());
        qln::rate::writeResults(*results, format, file);
        if (!file.flush())
            throw qln::rate::RefusedRun("Cannot write " + partial.string());
    }
    std::filesystem::rename(partial, target);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Rates every map unit of a soils database by one attribute of the rules and prints the ratings."};
    qln::rate::RateOptions options;
    options.rules = qln::rate::bundledRules(std::filesystem::canonical("/proc/self/exe"));
    std::string method, column, list, output, format = "csv";
    bool listOnly = false;

    app.add_option("--soils", options.soils, "soils database (SQLite, or an Access .mdb/.accdb file)");
    app.add_option("--rules", options.rules, "rules database (default: the bundled one)")->capture_default_str();
    app.add_option("--attribute", options.attribute, "NodeKey of the attribute to rate");
    app.add_option("--method", method, "method code (0-6) or name, e.g. \"Dominant Soil\" (default: the attribute's)");
    app.add_option("--column", column, "name of the rating column (default: the attribute's DBFColumn)");
    app.add_option("--top", options.top, "top of the soil layer, cm");
    app.add_option("--bottom", options.bottom, "bottom of the soil layer, cm");
    app.add_option("--begin-month", options.beginMonth, "first month (1-12)");
    app.add_option("--end-month", options.endMonth, "last month (1-12; may wrap past December)");
    app.add_option("--ignore-below", options.ignoreBelow, "leave out components below this percent");
    app.add_flag("--nulls-zero", options.nullsZero, "treat missing values as 0");
    app.add_option("--rate", options.rate, "tie-break direction: -1 lower wins, 1 higher wins")
        ->check(CLI::IsMember({-1, 1}));
    app.add_option("--list", list, "option list choice, LABEL=ITEM");
    app.add_option("--mapunits", options.mapunits, "\"all\" or a GIS attribute file (.dbf) naming the map units")
        ->capture_default_str();
    app.add_option("--format", format, "csv, json or table")->check(CLI::IsMember({"csv", "json", "table"}))
        ->capture_default_str();
    app.add_option("--output", output, "write the ratings to this file instead of standard output");
    app.add_flag("--list-attributes", listOnly, "print the rules tree with each attribute's key, methods and options");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::ParseError& error) {
        std::cerr << "quillon-rate: " << error.what() << "\n" << app.help();
        return kExitUsage;
    }
    if (!method.empty())
        options.method = method;
    if (!column.empty())
        options.column = column;
    if (!list.empty())
        options.list = list;
    if (!listOnly && (options.soils.empty() || options.attribute.empty())) {
        std::cerr << "quillon-rate: --soils and --attribute are required\n" << app.help();
        return kExitUsage;
    }
    const auto formatOf = std::map<std::string, qln::rate::OutputFormat>{
        {"csv", qln::rate::OutputFormat::Csv}, {"json", qln::rate::OutputFormat::Json},
        {"table", qln::rate::OutputFormat::Table}};

    try {
        return run(options, listOnly, formatOf.at(format), output);
    } catch (const qln::rate::UsageError& error) {
        std::cerr << "quillon-rate: " << error.what() << "\n" << app.help();
        return kExitUsage;
    } catch (const qln::rate::RefusedRun& error) {
        std::cerr << "quillon-rate: " << error.what() << "\n";
        return kExitEngineError;
    } catch (const qln::EngineError& error) {
        std::cerr << "quillon-rate: error " << qln::hexNumber(error.number()) << "\n  source: " << error.source()
                  << "\n  " << error.description() << "\n";
        return kExitEngineError;
    } catch (const std::exception& error) {
        std::cerr << "quillon-rate: " << error.what() << "\n";
        return kExitEngineError;
    }
}
