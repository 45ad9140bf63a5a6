#include "PgDatabase.h"

#include "PgSql.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"

#include <libpq-fe.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <memory>

namespace qln::ado::detail {
namespace {

// Type numbers of the server's built-in types (pg_type.oid; fixed across versions).
enum ServerType : Oid {
    kBool = 16,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kFloat4 = 700,
    kFloat8 = 701,
    kDate = 1082,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kNumeric = 1700,
};

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// One line of a libpq message: its lines joined with blanks, trailing blanks dropped.
std::string oneLine(std::string_view message)
{
    std::string line;
    for (const char c : message) {
        if (c == '\n' || c == '\t' || c == '\r') {
            if (!line.empty() && line.back() != ' ')
                line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

// The server's own words for a failed statement, without its "ERROR:" and position lines.
std::string errorText(const PGresult* result, pg_conn* connection)
{
    if (result) {
        if (const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY))
            return primary;
        return PQresultErrorMessage(result);
    }
    return PQerrorMessage(connection);
}

double parseReal(std::string_view text)
{
    if (text == "NaN")
        return std::numeric_limits<double>::quiet_NaN();
    if (text == "Infinity")
        return std::numeric_limits<double>::infinity();
    if (text == "-Infinity")
        return -std::numeric_limits<double>::infinity();
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// How one result column's texts become values.
enum class Reading { Text, Boolean, BooleanAsInteger, Integer, Single, Double, Date };

Reading readingOf(Oid type, const FieldInfo& field)
{
    switch (type) {
    case kBool:
        return field.type == adBoolean ? Reading::Boolean : Reading::BooleanAsInteger;
    case kInt2:
    case kInt4:
    case kInt8:
        return Reading::Integer;
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return field.type == adSingle ? Reading::Single : Reading::Double;
    case kDate:
    case kTimestamp:
    case kTimestampTz:
        return Reading::Date;
    default:
        return Reading::Text;
    }
}

Variant readValue(const char* text, int length, Reading reading)
{
    const std::string_view value(text, static_cast<std::size_t>(length));
    switch (reading) {
    case Reading::Boolean:
        return Variant(value == "t");
    case Reading::BooleanAsInteger:
        return Variant(static_cast<long long>(value == "t" ? 1 : 0));
    case Reading::Integer: {
        long long number = 0;
        std::from_chars(value.data(), value.data() + value.size(), number);
        return Variant(number);
    }
    case Reading::Single:
        return Variant(static_cast<float>(parseReal(value)));
    case Reading::Double:
        return Variant(parseReal(value));
    case Reading::Date:
        if (const auto date = parseIsoDate(value))
            return Variant(*date);
        return Variant(std::string(value));
    case Reading::Text:
        break;
    }
    return Variant(std::string(value));
}

// A column computed by the query (no stored column behind it): typed as SQLite types an
// expression, so that "FALSE AS Selected" is the integer 0 from either database.
FieldInfo expressionField(std::string name, Oid type)
{
    switch (type) {
    case kBool:
    case kInt2:
    case kInt4:
    case kInt8:
        return FieldInfo{std::move(name), adInteger, 4, adFldMayBeNull | adFldUpdatable};
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return FieldInfo{std::move(name), adDouble, 8, adFldMayBeNull | adFldUpdatable};
    case kDate:
    case kTimestamp:
    case kTimestampTz:
        return FieldInfo{std::move(name), adDate, 8, adFldMayBeNull | adFldUpdatable};
    default:
        return FieldInfo{std::move(name), adVarChar, 255, adFldMayBeNull | adFldUpdatable};
    }
}

} // namespace

FieldInfo fieldForServerType(std::string name, std::string_view serverType)
{
    FieldInfo info{std::move(name), adVariant, 0, adFldMayBeNull | adFldUpdatable};
    auto startsWith = [&](std::string_view prefix) { return serverType.substr(0, prefix.size()) == prefix; };
    auto size = [&](long fallback) {
        const auto open = serverType.find('(');
        long value = 0;
        if (open != std::string_view::npos)
            std::from_chars(serverType.data() + open + 1, serverType.data() + serverType.size(), value);
        return value > 0 ? value : fallback;
    };
    if (serverType == "boolean") {
        info.type = adBoolean;
        info.definedSize = 2;
    } else if (serverType == "smallint") {
        info.type = adSmallInt;
        info.definedSize = 2;
    } else if (serverType == "integer") {
        info.type = adInteger;
        info.definedSize = 4;
    } else if (serverType == "bigint") {
        info.type = adBigInt;
        info.definedSize = 8;
    } else if (serverType == "real") {
        info.type = adSingle;
        info.definedSize = 4;
    } else if (serverType == "double precision" || startsWith("numeric")) {
        info.type = adDouble;
        info.definedSize = 8;
    } else if (startsWith("character varying")) {
        info.type = adVarChar;
        info.definedSize = size(255);
    } else if (startsWith("character")) {
        info.type = adChar;
        info.definedSize = size(1);
        info.attributes |= adFldFixed;
    } else if (serverType == "text") {
        info.type = adVarChar;
        info.definedSize = 255;
    } else if (startsWith("timestamp") || serverType == "date") {
        info.type = adDate;
        info.definedSize = 8;
    } else {
        // The loader's own domains (single, memo) carry the declared type's name.
        info = Database::fieldForDeclaredType(info.name, serverType);
    }
    return info;
}

std::shared_ptr<PgDatabase> PgDatabase::open(const ServerSettings& settings, SchemaUse use)
{
    std::vector<const char*> keys, values;
    auto add = [&](const char* key, const std::string& value) {
        if (!value.empty()) {
            keys.push_back(key);
            values.push_back(value.c_str());
        }
    };
    add("host", settings.server);
    add("port", settings.port);
    add("dbname", settings.database);
    add("user", settings.user);
    const std::string application = "quillon";
    const std::string encoding = "UTF8";
    const std::string timeout = "10";
    add("application_name", application);
    add("client_encoding", encoding);
    add("connect_timeout", timeout);
    keys.push_back(nullptr);
    values.push_back(nullptr);

    PgConnection owned(PQconnectdbParams(keys.data(), values.data(), 0));
    pg_conn* const connection = owned.get();
    if (!connection)
        raiseProviderError("Cannot connect to the " + settings.describe() + ": out of memory");
    if (PQstatus(connection) != CONNECTION_OK)
        raiseProviderError("Cannot connect to the " + settings.describe() + ": " + oneLine(PQerrorMessage(connection)));
    std::shared_ptr<PgDatabase> database(new PgDatabase(settings, std::move(owned)));
    // Messages of the server belong in errors, not on standard error.
    PQsetNoticeProcessor(connection, [](void*, const char*) {}, nullptr);

    const char* schemaValue[] = {settings.schema.c_str()};
    Result found(PQexecParams(connection, "SELECT 1 FROM pg_namespace WHERE nspname = $1", 1, nullptr, schemaValue,
                              nullptr, nullptr, 0));
    if (PQresultStatus(found.get()) != PGRES_TUPLES_OK)
        database->fail(errorText(found.get(), connection), "SELECT 1 FROM pg_namespace");
    if (PQntuples(found.get()) == 0) {
        if (use == SchemaUse::MustExist)
            raiseProviderError("The " + settings.describe() + " has no schema " + settings.schema);
        database->exec("CREATE SCHEMA " + database->quotedSchema());
    }
    // Shortest exact float texts and ISO dates whatever the server's defaults; backslashes
    // in quoted keys are plain characters (a key must never end its quotes); the soils
    // database is only read.
    std::string setup = "SET search_path TO " + database->quotedSchema() +
                        "; SET standard_conforming_strings TO on; SET datestyle TO 'ISO, YMD'"
                        "; SET extra_float_digits TO 1; SET TimeZone TO 'UTC'";
    // A soils schema is read over and over and stays in the server's cache, where an index
    // probe costs hardly more than a page of a scan: priced as on disk, the planner scans
    // whole tables for the keys of every batch of a run.
    if (use == SchemaUse::MustExist)
        setup += "; SET default_transaction_read_only TO on; SET random_page_cost TO 1.1";
    database->exec(setup);
    return database;
}

void PgConnectionCloser::operator()(pg_conn* connection) const
{
    PQfinish(connection);
}

PgDatabase::PgDatabase(ServerSettings settings, PgConnection connection)
    : m_settings(std::move(settings)), m_connection(std::move(connection))
{
}

PgDatabase::~PgDatabase() = default;

std::string PgDatabase::quotedSchema() const
{
    return quoteIdentifier(m_settings.schema);
}

void PgDatabase::fail(const std::string& message, std::string_view sql) const
{
    std::string text = "The " + m_settings.describe() + ", schema " + m_settings.schema + ": " + oneLine(message);
    if (!sql.empty())
        text += " (" + std::string(sql) + ")";
    raiseProviderError(std::move(text));
}

void PgDatabase::requireWritable(std::string_view table) const
{
    throw EngineError(adErrFeatureNotAvailable, kProviderSource,
                      "Cannot change table " + std::string(table) + ": the soils database on the " +
                          m_settings.describe() + " is only read.");
}

void PgDatabase::writeRow(Table& table, std::uint32_t)
{
    requireWritable(table.sourceTable);
}

const std::vector<FieldInfo>& PgDatabase::storedColumns(unsigned tableOid)
{
    if (const auto it = m_storedColumns.find(tableOid); it != m_storedColumns.end())
        return it->second;
    const std::string oidText = std::to_string(tableOid);
    const char* parameters[] = {oidText.c_str()};
    const char* sql = "SELECT attnum, attname, format_type(atttypid, atttypmod) FROM pg_attribute "
                      "WHERE attrelid = $1::oid AND attnum > 0 ORDER BY attnum";
    Result result(PQexecParams(m_connection.get(), sql, 1, nullptr, parameters, nullptr, nullptr, 0));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        fail(errorText(result.get(), m_connection.get()), sql);
    std::vector<FieldInfo> columns;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        int number = 0;
        const char* text = PQgetvalue(result.get(), row, 0);
        std::from_chars(text, text + PQgetlength(result.get(), row, 0), number);
        if (number < 1)
            continue;
        columns.resize(std::max<std::size_t>(columns.size(), static_cast<std::size_t>(number)));
        columns[static_cast<std::size_t>(number - 1)] =
            fieldForServerType(PQgetvalue(result.get(), row, 1), PQgetvalue(result.get(), row, 2));
    }
    return m_storedColumns[tableOid] = std::move(columns);
}

std::shared_ptr<Table> PgDatabase::query(std::string_view sql)
{
    const std::string translated = translateAccessSql(sql);
    Result result(PQexec(m_connection.get(), translated.c_str()));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_COMMAND_OK)
        return nullptr;
    if (status != PGRES_TUPLES_OK)
        fail(errorText(result.get(), m_connection.get()), sql);

    PGresult* rows = result.get();
    const int fieldCount = PQnfields(rows);
    const int rowCount = PQntuples(rows);
    auto table = std::make_shared<Table>();
    std::vector<Reading> readings;
    for (int i = 0; i < fieldCount; ++i) {
        const Oid stored = PQftable(rows, i);
        const int column = PQftablecol(rows, i);
        FieldInfo field;
        if (stored != InvalidOid && column > 0) {
            const auto& columns = storedColumns(stored);
            if (static_cast<std::size_t>(column) <= columns.size())
                field = columns[static_cast<std::size_t>(column - 1)];
            else
                field = expressionField({}, PQftype(rows, i));
        } else {
            field = expressionField({}, PQftype(rows, i));
        }
        field.name = PQfname(rows, i);
        readings.push_back(readingOf(PQftype(rows, i), field));
        table->addField(std::move(field));
        table->sourceColumns.emplace_back();
    }
    for (int i = 0; i < fieldCount; ++i) {
        auto& values = table->columns[static_cast<std::size_t>(i)];
        values.reserve(static_cast<std::size_t>(rowCount));
        for (int row = 0; row < rowCount; ++row) {
            if (PQgetisnull(rows, row, i))
                values.push_back(Variant::null());
            else
                values.push_back(readValue(PQgetvalue(rows, row, i), PQgetlength(rows, row, i),
                                           readings[static_cast<std::size_t>(i)]));
        }
    }
    if (fieldCount == 0)
        table->rowCountWithoutFields = static_cast<std::size_t>(rowCount);
    return table;
}

void PgDatabase::exec(std::string_view sql)
{
    const std::string text(sql);
    Result result(PQexec(m_connection.get(), text.c_str()));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        fail(errorText(result.get(), m_connection.get()), sql);
}

std::vector<std::string> PgDatabase::tableNames()
{
    const char* sql = "SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                      "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'v', 'm', 'p', 'f') ORDER BY c.oid";
    Result result(PQexec(m_connection.get(), sql));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        fail(errorText(result.get(), m_connection.get()), sql);
    std::vector<std::string> names;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        names.emplace_back(PQgetvalue(result.get(), row, 0));
    return names;
}

std::vector<FieldInfo> PgDatabase::columns(std::string_view table)
{
    // Names match as SQLite matches them: the exact name first, else without regard to case.
    const std::string name(table);
    const char* parameters[] = {name.c_str()};
    const char* sql = "SELECT c.oid FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                      "WHERE n.nspname = current_schema() AND lower(c.relname) = lower($1) "
                      "ORDER BY c.relname <> $1 LIMIT 1";
    Result result(PQexecParams(m_connection.get(), sql, 1, nullptr, parameters, nullptr, nullptr, 0));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        fail(errorText(result.get(), m_connection.get()), sql);
    if (PQntuples(result.get()) == 0)
        return {};
    unsigned oid = 0;
    const char* text = PQgetvalue(result.get(), 0, 0);
    std::from_chars(text, text + PQgetlength(result.get(), 0, 0), oid);
    std::vector<FieldInfo> columns;
    for (const FieldInfo& field : storedColumns(oid))
        if (!field.name.empty())
            columns.push_back(field);
    return columns;
}

void PgDatabase::beginCopy(std::string_view command)
{
    const std::string text(command);
    Result result(PQexec(m_connection.get(), text.c_str()));
    if (PQresultStatus(result.get()) != PGRES_COPY_IN)
        fail(errorText(result.get(), m_connection.get()), command);
    m_copyCommand = text;
}

void PgDatabase::putCopyData(std::string_view data)
{
    if (PQputCopyData(m_connection.get(), data.data(), static_cast<int>(data.size())) != 1)
        fail(PQerrorMessage(m_connection.get()), m_copyCommand);
}

void PgDatabase::endCopy()
{
    if (PQputCopyEnd(m_connection.get(), nullptr) != 1)
        fail(PQerrorMessage(m_connection.get()), m_copyCommand);
    Result result(PQgetResult(m_connection.get()));
    const bool done = PQresultStatus(result.get()) == PGRES_COMMAND_OK;
    const std::string message = done ? std::string() : errorText(result.get(), m_connection.get());
    while (Result rest{PQgetResult(m_connection.get())}) {
    }
    if (!done)
        fail(message, m_copyCommand);
}

} // namespace qln::ado::detail
