// quillon-rate: one rating run of the engine from the command line.
#include "GeoPackageOutput.h"
#include "RateRun.h"
#include "ReportOutput.h"
#include "ResultWriter.h"
#include "quillon/AtomicFile.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/ado/DataSources.h"
#include "quillon/gis/GisError.h"
#include "quillon/tools/CommandLine.h"
#include "quillon/viewer/UserData.h"

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <csignal>
#include <iostream>
#include <locale>
#include <map>
#include <optional>
#include <sstream>

namespace {

using qln::tools::kExitOutput;
using qln::tools::kExitUsage;
// A run that failed or was refused.
constexpr int kExitEngineError = qln::tools::kExitFailed;

// A progress bar on a terminal, shown once a run has taken a second.
class ProgressBar {
public:
    void update(long done, long total)
    {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_start < std::chrono::seconds(1) ||
            (now - m_last < std::chrono::milliseconds(100) && (total <= 0 || done < total)))
            return;
        m_last = now;
        m_shown = true;
        if (total <= 0) {  // rows read before the rating, whose number nobody knows yet
            std::cerr << "\rReading the soils: " << done << " rows" << std::string(20, ' ') << std::flush;
            return;
        }
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

// The rating or the rules tree goes to standard output or, with --output, replaces the
// file whole; a write that fails is an OutputError, never a short file and exit 0.
void emit(const std::string& text, qln::AtomicFile* file)
{
    if (!file) {
        qln::writeAll(STDOUT_FILENO, text, "standard output");
        return;
    }
    file->write(text);
    file->commit();
}

// A run reads, rates and frees one batch of rows after another. Left to its defaults,
// malloc hands each batch's memory back to the system and the next batch faults it in
// again, page by page (a third of a 12-month flooding run's time). This program makes one
// run and exits, so it keeps up to 64 MB free per heap for the next batch instead.
void keepFreedMemoryForReuse()
{
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the most malloc allows
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

// How many map units a run reads at a time and on how many threads it rates them.
struct RunLimits {
    std::size_t batch = 0;
    unsigned threads = 0;
};

// The ratings' file: text in one of the formats, or, with a soils layer, a GeoPackage.
struct RatingsOutput {
    qln::rate::OutputFormat format = qln::rate::OutputFormat::Csv;
    std::string file;
    std::filesystem::path layer;  // set for a GeoPackage
};

// The CSV's type file, beside it with the extension .csvt as GDAL looks for it.
std::filesystem::path typesFile(const RatingsOutput& output)
{
    if (output.file.empty() || !output.layer.empty() || output.format != qln::rate::OutputFormat::Csv)
        return {};
    return std::filesystem::path(output.file).replace_extension(".csvt");
}

int run(const qln::rate::RateOptions& options, bool listOnly, const RatingsOutput& ratingsOut,
        const qln::rate::ReportRequest& request, const RunLimits& limits)
{
    const std::string& output = ratingsOut.file;
    const bool gpkg = !ratingsOut.layer.empty();
    if (!std::filesystem::exists(options.rules))
        throw qln::viewer::RefusedRun("The rules database " + options.rules.string() + " does not exist.");
    // Every file the run writes is checked against every file it reads before any work.
    std::vector<std::filesystem::path> inputs = {options.soils, options.rules};
    if (options.mapunits != "all")
        inputs.emplace_back(options.mapunits);
    const auto templates = qln::rate::bundledTemplates(std::filesystem::canonical("/proc/self/exe"));
    for (const auto& read : qln::rate::reportInputs(request, templates))
        inputs.push_back(read);
    if (gpkg) {
        for (const char* part : {".shp", ".shx", ".dbf"})
            inputs.push_back(std::filesystem::path(ratingsOut.layer).replace_extension(part));
    }
    const std::filesystem::path types = listOnly ? std::filesystem::path() : typesFile(ratingsOut);
    qln::refuseOutputsOverInputs({output, types, request.xml, request.report, request.nontech}, inputs);
    std::optional<qln::AtomicFile> file, typesOut;
    if (!output.empty() && !gpkg)
        file.emplace(output);
    // Types only beside a file of its own: a device or FIFO takes the CSV alone.
    if (file && !types.empty() && file->writePath() != file->target())
        typesOut.emplace(types);
    qln::ado::defineDataSource(qln::engine::kRulesDataSource, options.rules);
    const auto ownEngine = qln::engine::createQuillon();
    qln::engine::clsQuillon& engine = *ownEngine;
    engine.setRunLimits(limits.batch, limits.threads);
    if (listOnly) {
        std::ostringstream tree;
        tree.imbue(std::locale::classic());
        qln::rate::listAttributes(engine, tree);
        emit(tree.str(), file ? &*file : nullptr);
        return 0;
    }
    const bool ratings = !request.any() || !output.empty();
    if (!ratings && !request.ratingDocuments()) {
        auto mapunits = qln::rate::loadMapunits(engine, options);
        qln::rate::writeReports(engine, options, nullptr, mapunits, request,
                                templates, std::cerr);
        return 0;
    }

    const auto& choices = options.run;
    auto attr = engine.GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='" + qln::escapeQuotes(choices.attribute) + "'");
    if (attr.recordCount() <= 0)
        throw qln::viewer::RefusedRun("The rules database has no attribute with the key " + choices.attribute +
                                      " (see --list-attributes).");
    const long method = qln::viewer::chooseMethod(qln::viewer::attributeMethods(engine, choices.attribute), choices.method);
    const std::string soilsConnect = qln::rate::soilsConnectString(options.soils);
    if (choices.list)
        qln::viewer::checkListChoice(qln::viewer::parseListChoice(*choices.list),
                                     qln::viewer::attributeListItems(engine, soilsConnect, choices.attribute));
    auto userData = qln::viewer::buildUserData(choices, attr, method);
    if (attr.value("SoilLayerOptions").number().value_or(0) != 0 && !choices.top)
        std::cerr << "quillon-rate: warning: " << choices.attribute
                  << " is rated over a soil layer; without --top and --bottom no horizon is kept.\n";
    std::optional<qln::rate::GeoPackageRequest> geoPackage;
    if (gpkg) {
        try {
            geoPackage =
                qln::rate::prepareGeoPackage(ratingsOut.layer, attr, templates.parent_path() / "legends", std::cerr);
        } catch (const qln::gis::GisError& error) {
            throw qln::viewer::RefusedRun(error.what());
        }
        geoPackage->column = userData.value("OutputTable").text();
    }
    auto mapunits = qln::rate::loadMapunits(engine, options);

    ProgressBar bar;
    if (::isatty(STDERR_FILENO))
        engine.setProgressHandler([&bar](long done, long total) {
            bar.update(done, total);
            return true;
        });
    if (request.any()) {
        qln::rate::writeReports(engine, options, &userData, mapunits, request,
                                templates, std::cerr);
        if (!ratings)
            return 0;
    }
    auto results = engine.ProcessData(soilsConnect, userData, mapunits);
    if (const auto& inverted = engine.invertedHorizons(); inverted.count > 0)
        std::cerr << "quillon-rate: warning: " << inverted.count
                  << (inverted.count == 1 ? " horizon" : " horizons")
                  << " with hzdept_r > hzdepb_r (top below bottom) rated as of unknown depth; the first: "
                  << inverted.first << "\n";
    if (!results)
        return 0;
    if (geoPackage) {
        qln::rate::writeGeoPackage(*results, std::move(*geoPackage), output);
        return 0;
    }
    std::ostringstream text;
    qln::rate::writeResults(*results, ratingsOut.format, text);
    if (typesOut)
        typesOut->write(qln::rate::csvTypes(*results));
    emit(text.str(), file ? &*file : nullptr);
    if (typesOut)
        typesOut->commit();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // As every desktop program does; numbers are converted without the locale.
    std::setlocale(LC_ALL, "");
    // A closed pipe is a write error with a message and exit 74, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    keepFreedMemoryForReuse();

    CLI::App app{"Rates every map unit of a soils database by one attribute of the rules and prints the ratings."};
    qln::rate::RateOptions options;
    options.rules = qln::rate::bundledRules(std::filesystem::canonical("/proc/self/exe"));
    auto& choices = options.run;
    std::string method, column, list, output, format = "csv";
    std::string top, bottom, beginMonth, endMonth, ignoreBelow;
    bool listOnly = false;
    qln::rate::ReportRequest request;

    app.add_option("--soils", options.soils, "soils database (SQLite, or an Access .mdb/.accdb file, or postgresql://[user@]host[:port]/database[?schema=name]; the password from PGPASSWORD or ~/.pgpass)");
    app.add_option("--rules", options.rules, "rules database (default: the bundled one)")->capture_default_str();
    app.add_option("--attribute", choices.attribute, "NodeKey of the attribute to rate");
    app.add_option("--method", method, "method code (0-6) or name, e.g. \"Dominant Soil\", among the attribute's "
                                       "(default: the attribute's default)");
    app.add_option("--column", column, "name of the rating column (default: the attribute's DBFColumn)");
    app.add_option("--top", top, "top of the soil layer, cm (0-32767, with --bottom)");
    app.add_option("--bottom", bottom, "bottom of the soil layer, cm (top-32767, with --top)");
    app.add_option("--begin-month", beginMonth, "first month (1-12, with --end-month)");
    app.add_option("--end-month", endMonth, "last month (1-12; may wrap past December)");
    app.add_option("--ignore-below", ignoreBelow, "leave out components below this percent (0-100)");
    app.add_flag("--nulls-zero", choices.nullsZero, "treat missing values as 0");
    app.add_option("--rate", choices.rate, "tie-break direction: -1 lower wins, 1 higher wins")
        ->check(CLI::IsMember({-1, 1}));
    app.add_option("--list", list, "option list choice, LABEL=ITEM");
    app.add_option("--mapunits", options.mapunits, "\"all\" or a GIS attribute file (.dbf) naming the map units")
        ->capture_default_str();
    app.add_option("--format", format, "csv, json, table, or gpkg (a GeoPackage of the --layer polygons, "
                                       "styled; needs --output)")
        ->check(CLI::IsMember({"csv", "json", "table", "gpkg"}))
        ->capture_default_str();
    RatingsOutput ratingsOut;
    app.add_option("--layer", ratingsOut.layer, "soils shapefile (.shp) whose polygons the GeoPackage holds");
    app.add_option("--output", output, "write the ratings to this file instead of standard output (a CSV file "
                                       "gets its GDAL type file .csvt beside it)");
    app.add_option("--xml", request.xml, "write the XML report document of the run to this file");
    app.add_option("--report", request.report, "write the rating report to this .docx file");
    app.add_flag("--description", request.description, "rating report: include the attribute's description");
    app.add_flag("--reasons,!--no-reasons", request.reasons,
                 "rating report: include the components and reasons column (default on)");
    app.add_flag("--label", request.label, "reports: begin with the open customer contact's address label");
    auto* nontech = app.add_option("--nontech", request.nontech, "write the non-technical report to this .docx file");
    app.add_option("--category", request.categories, "non-technical report: description categories (one or more)")
        ->needs(nontech);
    nontech->needs(app.get_option("--category"));
    RunLimits limits;
    app.add_option("--threads", limits.threads, "threads that rate a large run (default: one per core; 1: none "
                                                "besides the main one); the ratings are the same")
        ->check(CLI::Range(1u, 1024u));
    app.add_option("--batch", limits.batch, "map units read from the soils database at a time (default 2000); "
                                            "fewer hold less in memory")
        ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 30));
    app.add_flag("--list-attributes", listOnly, "print the rules tree with each attribute's key, methods and options");
    app.footer("Exit status: 0 done, 2 the run failed or was refused, 64 a wrong option, 74 the output could not "
               "be written.");

    if (const auto status = qln::tools::parseCommandLine(app, argc, argv, "quillon-rate"))
        return *status;
    if (!method.empty())
        choices.method = method;
    if (!column.empty())
        choices.column = column;
    if (!list.empty())
        choices.list = list;
    try {
        // Read as text and converted here, so that a number too large for any field is named
        // as the user wrote it instead of being clamped.
        const auto given = [&](const char* name, const std::string& text) {
            return app.count(name) ? std::optional<long>(qln::viewer::parseWholeNumber(name, text)) : std::nullopt;
        };
        choices.top = given("--top", top);
        choices.bottom = given("--bottom", bottom);
        choices.beginMonth = given("--begin-month", beginMonth);
        choices.endMonth = given("--end-month", endMonth);
        choices.ignoreBelow = given("--ignore-below", ignoreBelow);
        const bool attributeNeeded = !request.any() || request.ratingDocuments() || !output.empty();
        if (!listOnly && (options.soils.empty() || (attributeNeeded && choices.attribute.empty())))
            throw qln::viewer::OptionError("--soils and --attribute are required for a rating run.");
        qln::viewer::checkRunOptions(choices);
        if ((format == "gpkg") != !ratingsOut.layer.empty())
            throw qln::viewer::OptionError("--format gpkg and --layer go together.");
        if (format == "gpkg" && (output.empty() || listOnly))
            throw qln::viewer::OptionError("--format gpkg writes the ratings to a file: give --output, "
                                           "without --list-attributes.");
    } catch (const qln::viewer::OptionError& error) {
        qln::tools::reportUsageError("quillon-rate", error.what());
        return kExitUsage;
    }
    const auto formatOf = std::map<std::string, qln::rate::OutputFormat>{
        {"csv", qln::rate::OutputFormat::Csv}, {"json", qln::rate::OutputFormat::Json},
        {"table", qln::rate::OutputFormat::Table}};

    try {
        if (format != "gpkg")
            ratingsOut.format = formatOf.at(format);
        ratingsOut.file = output;
        return run(options, listOnly, ratingsOut, request, limits);
    } catch (const qln::viewer::OptionError& error) {
        std::cerr << "quillon-rate: " << error.what() << "\n";
        return kExitUsage;
    } catch (const qln::OutputIsInputError& error) {
        std::cerr << "quillon-rate: " << error.what() << "\n";
        return kExitUsage;
    } catch (const qln::OutputError& error) {
        std::cerr << "quillon-rate: " << error.what() << "\n";
        return kExitOutput;
    } catch (const qln::viewer::RefusedRun& error) {
        std::cerr << "quillon-rate: " << error.what() << "\n";
        return kExitEngineError;
    } catch (const qln::rate::NonFiniteValue& error) {
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
