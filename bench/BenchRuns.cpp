#include "BenchRuns.h"

#include "PgSettings.h"
#include "PgSql.h"
#include "Shape.h"
#include "modShapeFuncs.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/ServerAddress.h"
#include "quillon/viewer/UserData.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <functional>
#include <iostream>
#include <stdexcept>

namespace qln::bench {
namespace {

using Clock = std::chrono::steady_clock;

void printUsage(const char* program, std::initializer_list<std::string_view> allowed)
{
    std::cerr << "usage: " << std::filesystem::path(program).filename().string()
              << " SOILS.sqlite|postgresql://...";
    for (const auto option : allowed)
        std::cerr << " [" << option << (option == "--rules" ? " FILE]" : option == "--save" ? " DIR]" : " N]");
    std::cerr << "\n";
}

std::optional<unsigned> positiveNumber(std::string_view text)
{
    unsigned value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value == 0)
        return std::nullopt;
    return value;
}

// The SQL of every level of the SHAPE command, parents first.
std::vector<std::string> levelQueries(const ado::detail::ShapeCommand& command)
{
    std::vector<std::string> queries;
    std::function<void(const ado::detail::ShapeCommand&)> walk = [&](const auto& level) {
        queries.push_back(level.sql);
        for (const auto& child : level.children)
            walk(child.command);
    };
    walk(command);
    return queries;
}

// Steps every row of every query, touching every value, with `readQuery` for one query.
double timeQueries(const std::vector<std::string>& queries,
                   const std::function<void(const std::string& sql)>& readQuery)
{
    const auto start = Clock::now();
    for (const auto& sql : queries)
        readQuery(sql);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double sqliteReadTime(const std::filesystem::path& soils, const std::vector<std::string>& queries)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(soils.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + soils.string());
    }
    std::size_t bytes = 0;
    const double seconds = timeQueries(queries, [&](const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(db)) + ": " + sql);
        const int columns = sqlite3_column_count(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c)
                bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
        }
        sqlite3_finalize(stmt);
    });
    sqlite3_close(db);
    return seconds;
}

double serverReadTime(const std::string& address, const std::vector<std::string>& queries)
{
    const auto settings =
        ado::detail::serverSettings(ado::parseConnectionString(ado::serverConnectString(address)));
    if (!settings)
        throw std::runtime_error("not a server address: " + address);
    std::vector<const char*> keys, values;
    const auto add = [&](const char* key, const std::string& value) {
        if (!value.empty()) {
            keys.push_back(key);
            values.push_back(value.c_str());
        }
    };
    add("host", settings->server);
    add("port", settings->port);
    add("dbname", settings->database);
    add("user", settings->user);
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* connection = PQconnectdbParams(keys.data(), values.data(), 0);
    if (PQstatus(connection) != CONNECTION_OK) {
        const std::string message = PQerrorMessage(connection);
        PQfinish(connection);
        throw std::runtime_error("cannot connect to the " + settings->describe() + ": " + message);
    }
    std::string schema = "\"";
    for (const char c : settings->schema)
        schema += c == '"' ? std::string("\"\"") : std::string(1, c);
    PQclear(PQexec(connection, ("SET search_path TO " + schema + "\"").c_str()));
    std::size_t bytes = 0;
    const double seconds = timeQueries(queries, [&](const std::string& sql) {
        PGresult* result = PQexec(connection, ado::detail::translateAccessSql(sql).c_str());
        if (PQresultStatus(result) != PGRES_TUPLES_OK) {
            const std::string message = PQresultErrorMessage(result);
            PQclear(result);
            PQfinish(connection);
            throw std::runtime_error(message + ": " + sql);
        }
        const int rows = PQntuples(result), columns = PQnfields(result);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                bytes += static_cast<std::size_t>(PQgetlength(result, r, c));
        PQclear(result);
    });
    PQfinish(connection);
    return seconds;
}

} // namespace

std::optional<BenchOptions> parseBenchOptions(int argc, char** argv, std::initializer_list<std::string_view> allowed)
{
    BenchOptions options;
    const auto fail = [&] {
        printUsage(argv[0], allowed);
        return std::nullopt;
    };
    if (argc < 2 || std::string_view(argv[1]).substr(0, 2) == "--")
        return fail();
    options.soils = argv[1];
    if (!ado::isServerAddress(options.soils))
        options.soils = std::filesystem::absolute(options.soils).string();
    options.rules = rate::bundledRules(std::filesystem::canonical("/proc/self/exe"));
    for (int i = 2; i < argc; i += 2) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc || std::find(allowed.begin(), allowed.end(), option) == allowed.end())
            return fail();
        const std::string_view value = argv[i + 1];
        if (option == "--rules") {
            options.rules = std::filesystem::absolute(value);
        } else if (option == "--save") {
            options.save = std::filesystem::absolute(value);
        } else {
            const auto number = positiveNumber(value);
            if (!number)
                return fail();
            (option == "--threads" ? options.threads : options.batch) = number;
        }
    }
    return options;
}

const std::vector<RateCase>& rateCases()
{
    static const std::vector<RateCase> cases = {
        {"PHY_AWC", "Weighted Average", 0, 100, -1, -1},  {"QUA_SLOPE", "Dominant Soil", -1, -1, -1, -1},
        {"PHY_CLAY", "Dominant Soil", 0, 100, -1, -1},    {"WAT_DRAIN", "Dominant Condition", -1, -1, -1, -1},
        {"PHY_CLAY", "Most Limiting", 0, 100, -1, -1},    {"PHY_CLAY", "Least Limiting", 0, 100, -1, -1},
        {"WAT_HYDRIC", "Absence/Presence", -1, -1, -1, -1}, {"PHY_CLAY", "All Components", 0, 100, -1, -1},
        {"WAT_FLOOD", "Dominant Condition", -1, -1, 1, 12}, {"MU_AWS100", "Dominant Soil", -1, -1, -1, -1},
        // Interpretations: their rule rows are kept by a condition an index of its own may
        // answer, and the rating value's weighted average reads its percent base too.
        {"INT_DWB", "Dominant Condition", -1, -1, -1, -1}, {"INT_DWB_VAL", "Weighted Average", -1, -1, -1, -1},
        {"INT_SEPTIC", "Most Limiting", -1, -1, -1, -1},
    };
    return cases;
}

CaseInputs prepareCase(engine::clsQuillon& engine, const RateCase& rateCase, const BenchOptions& options)
{
    CaseInputs inputs;
    inputs.options.soils = options.soils;
    inputs.options.rules = options.rules;
    // -1 in a case stands for a hidden control: the option is absent.
    const auto given = [](long value) { return value >= 0 ? std::optional<long>(value) : std::nullopt; };
    viewer::RunOptions& run = inputs.options.run;
    run.attribute = rateCase.attribute;
    run.method = rateCase.method;
    run.top = given(rateCase.top);
    run.bottom = given(rateCase.bottom);
    run.beginMonth = given(rateCase.beginMonth);
    run.endMonth = given(rateCase.endMonth);
    inputs.attr = engine.GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='" + std::string(rateCase.attribute) + "'");
    const auto offered = viewer::attributeMethods(engine, rateCase.attribute);
    inputs.method = offered.empty() ? -1 : viewer::chooseMethod(offered, run.method);
    inputs.userData = viewer::buildUserData(run, inputs.attr, inputs.method);
    inputs.mapunits = rate::loadMapunits(engine, inputs.options);

    ado::Connection plain;
    plain.setConnectionString(rate::soilsConnectString(inputs.options.soils));
    plain.open();
    // A clone, so that the map units keep their position and filter for the run.
    ado::Recordset keys = inputs.mapunits.clone();
    inputs.shapeCommand = engine::SetAdoTelvaRS(engine, plain, inputs.attr, inputs.userData, keys);
    return inputs;
}

std::filesystem::path unindexedCopy(const std::filesystem::path& soils)
{
    std::filesystem::path copy = soils;
    copy.replace_extension(".noindex.sqlite");
    std::error_code error;
    if (std::filesystem::exists(copy, error) &&
        std::filesystem::last_write_time(copy, error) >= std::filesystem::last_write_time(soils, error))
        return copy;
    // Made under another name and renamed when whole, so that a copy cut short is never used.
    const std::filesystem::path partial = copy.string() + ".part";
    std::filesystem::remove(partial, error);
    sqlite3* db = nullptr;
    const auto run = [&](const std::string& sql) {
        char* message = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            const std::string text = message ? message : "unknown error";
            sqlite3_free(message);
            sqlite3_close(db);
            throw std::runtime_error(text + ": " + sql);
        }
    };
    const auto quoted = [](const std::string& text, char quote) {
        std::string out(1, quote);
        for (const char c : text)
            out += c == quote ? std::string(2, quote) : std::string(1, c);
        return out + quote;
    };
    if (sqlite3_open(partial.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot make " + partial.string());
    run("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
    run("ATTACH DATABASE " + quoted(soils.string(), '\'') + " AS source");
    // Each table with its columns' declared types and nothing else: no key, no index.
    std::vector<std::pair<std::string, std::string>> tables;  // name, column list
    sqlite3_stmt* list = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM source.sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite%'", -1,
                       &list, nullptr);
    while (sqlite3_step(list) == SQLITE_ROW)
        tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list, 0)), "");
    sqlite3_finalize(list);
    run("BEGIN");
    for (auto& [table, columns] : tables) {
        sqlite3_stmt* info = nullptr;
        sqlite3_prepare_v2(db, ("PRAGMA source.table_info(" + quoted(table, '"') + ")").c_str(), -1, &info, nullptr);
        while (sqlite3_step(info) == SQLITE_ROW) {
            const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(info, 2));
            columns += (columns.empty() ? "" : ", ") +
                       quoted(reinterpret_cast<const char*>(sqlite3_column_text(info, 1)), '"') + " " +
                       (type ? type : "");
        }
        sqlite3_finalize(info);
        run("CREATE TABLE main." + quoted(table, '"') + " (" + columns + ")");
        run("INSERT INTO main." + quoted(table, '"') + " SELECT * FROM source." + quoted(table, '"') +
            " ORDER BY rowid");
    }
    run("COMMIT");
    sqlite3_close(db);
    std::filesystem::rename(partial, copy);
    return copy;
}

double readTime(const std::string& soils, const std::string& shapeCommand, std::vector<std::string> otherQueries)
{
    auto queries = std::move(otherQueries);
    for (auto& sql : levelQueries(ado::detail::parseShapeCommand(shapeCommand)))
        queries.push_back(std::move(sql));
    return ado::isServerAddress(soils) ? serverReadTime(soils, queries) : sqliteReadTime(soils, queries);
}

} // namespace qln::bench
