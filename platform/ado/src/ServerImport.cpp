#include "quillon/ado/ServerImport.h"

#include "PgDatabase.h"
#include "PgSettings.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/ado/Connection.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>

namespace qln::ado {
namespace {

using detail::PgDatabase;

// How a source column is stored on the server.
struct ColumnPlan {
    FieldInfo field;
    enum class Kind { Boolean, Integer, Real, Date, Text } kind = Kind::Text;
    std::string serverType;
};

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

[[noreturn]] void refuseValue(const std::string& table, const FieldInfo& field, const Variant& value,
                              const char* wanted)
{
    throw EngineError(kProviderError, "importToServer",
                      "Table " + table + ", column " + field.name + " holds '" + value.text() + "', which is no " +
                          wanted + "; nothing was loaded.");
}

std::size_t characters(const std::string& text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string realText(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

bool integral(const Variant& value, long long& number)
{
    switch (value.kind()) {
    case Variant::Kind::Integer:
        number = value.integer();
        return true;
    case Variant::Kind::Boolean:
        number = value.boolean() ? 1 : 0;
        return true;
    case Variant::Kind::Double:
        if (value.real() != std::floor(value.real()) || std::abs(value.real()) > 9.0e18)
            return false;
        number = static_cast<long long>(value.real());
        return true;
    default:
        return false;
    }
}

// The server type of a column from its declared type and, where the declaration leaves
// room (SQLite keeps any value anywhere), from the values it holds.
ColumnPlan planColumn(const std::string& table, FieldInfo field, const std::vector<Variant>& values)
{
    ColumnPlan plan;
    switch (field.type) {
    case adBoolean:
        plan.kind = ColumnPlan::Kind::Boolean;
        plan.serverType = "boolean";
        break;
    case adSmallInt:
    case adInteger:
    case adBigInt: {
        long long low = 0, high = 0, number = 0;
        for (const Variant& value : values) {
            if (value.isMissing())
                continue;
            if (!integral(value, number))
                refuseValue(table, field, value, "whole number");
            low = std::min(low, number);
            high = std::max(high, number);
        }
        plan.kind = ColumnPlan::Kind::Integer;
        const bool fitsSmall = low >= -32768 && high <= 32767;
        const bool fitsInteger = low >= -2147483648LL && high <= 2147483647LL;
        plan.serverType = field.type == adSmallInt && fitsSmall ? "smallint"
                          : field.type != adBigInt && fitsInteger ? "integer"
                                                                   : "bigint";
        break;
    }
    case adSingle:
    case adDouble:
        for (const Variant& value : values)
            if (!value.isMissing() && (value.isText() || value.kind() == Variant::Kind::Date))
                refuseValue(table, field, value, "number");
        plan.kind = ColumnPlan::Kind::Real;
        // Singles keep SQLite's stored double, so conditions on them compare alike.
        plan.serverType = field.type == adSingle ? "single" : "double precision";
        break;
    case adDate:
        for (const Variant& value : values)
            if (value.isText() && !detail::parseIsoDate(value.str()))
                refuseValue(table, field, value, "date");
        plan.kind = ColumnPlan::Kind::Date;
        plan.serverType = "timestamp";
        break;
    case adLongVarChar:
    case adLongVarWChar:
        plan.serverType = "memo";
        break;
    case adChar:
    case adVarChar:
    case adWChar:
    case adVarWChar: {
        std::size_t longest = static_cast<std::size_t>(std::max(1L, field.definedSize));
        for (const Variant& value : values)
            if (!value.isMissing())
                longest = std::max(longest, characters(value.text()));
        plan.serverType = "character varying(" + std::to_string(std::min<std::size_t>(longest, 10485760)) + ")";
        break;
    }
    default: {
        // No declared type: whole numbers, numbers, or else text.
        bool allIntegral = true, allNumbers = true;
        long long number = 0;
        for (const Variant& value : values) {
            if (value.isMissing())
                continue;
            allIntegral = allIntegral && integral(value, number);
            allNumbers = allNumbers && value.isNumber() && value.kind() != Variant::Kind::Date;
        }
        plan.kind = allIntegral ? ColumnPlan::Kind::Integer
                    : allNumbers ? ColumnPlan::Kind::Real
                                 : ColumnPlan::Kind::Text;
        plan.serverType = allIntegral ? "bigint" : allNumbers ? "double precision" : "text";
        break;
    }
    }
    // A server text holds no NUL character (binary columns of Access files may).
    if (plan.kind == ColumnPlan::Kind::Text)
        for (const Variant& value : values)
            if (value.isText() && value.str().find('\0') != std::string::npos)
                throw EngineError(kProviderError, "importToServer",
                                  "Table " + table + ", column " + field.name +
                                      " holds binary data (a NUL character), which a server text column cannot "
                                      "hold; nothing was loaded.");
    plan.field = std::move(field);
    return plan;
}

void appendCopyText(std::string& out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
}

void appendValue(std::string& out, const ColumnPlan& plan, const Variant& value)
{
    if (value.isMissing()) {
        out += "\\N";
        return;
    }
    long long number = 0;
    switch (plan.kind) {
    case ColumnPlan::Kind::Boolean:
        out += value.number().value_or(0) != 0 ? "t" : "f";
        return;
    case ColumnPlan::Kind::Integer:
        integral(value, number);
        out += std::to_string(number);
        return;
    case ColumnPlan::Kind::Real:
        out += realText(value.kind() == Variant::Kind::Single ? static_cast<double>(value.single())
                                                                : value.number().value_or(0));
        return;
    case ColumnPlan::Kind::Date:
        if (value.isText())
            out += Variant(*detail::parseIsoDate(value.str())).text();
        else
            out += Variant(Date{value.number().value_or(0)}).text();
        return;
    case ColumnPlan::Kind::Text:
        appendCopyText(out, value.text());
        return;
    }
}

// The source's own name of a table or column the metadata names, matched as SQLite
// matches names; empty when there is none.
std::string actualName(const std::vector<std::string>& names, const std::string& wanted)
{
    for (const auto& name : names)
        if (lower(name) == lower(wanted))
            return name;
    return {};
}

void addKeys(Connection& source, PgDatabase& server, const std::vector<std::string>& tables)
{
    const std::string metadata = actualName(tables, "mdstatrshipdet");
    std::set<std::pair<std::string, std::string>> keyed, indexed;
    auto columnOf = [&](const std::string& table, const std::string& column) {
        std::vector<std::string> names;
        for (const auto& field : source.columns(table))
            names.push_back(field.name);
        return actualName(names, column);
    };
    auto target = [&](const std::string& table) { return server.quotedSchema() + "." + quoteIdentifier(table); };
    auto index = [&](const std::string& table, const std::string& column) {
        if (table.empty() || column.empty() || keyed.count({table, column}) || !indexed.insert({table, column}).second)
            return;
        server.exec("CREATE INDEX ON " + target(table) + " (" + quoteIdentifier(column) + ")");
    };
    if (!metadata.empty()) {
        Recordset relations = source.execute("SELECT ltabphyname, ltabcolphyname, rtabphyname, rtabcolphyname FROM " +
                                             quoteIdentifier(metadata));
        for (; !relations.eof(); relations.moveNext()) {
            const std::string parent = actualName(tables, relations.value("ltabphyname").text());
            const std::string child = actualName(tables, relations.value("rtabphyname").text());
            if (!parent.empty()) {
                const std::string column = columnOf(parent, relations.value("ltabcolphyname").text());
                if (!column.empty() && !keyed.count({parent, column})) {
                    const std::string name = quoteIdentifier(column);
                    const auto unique = server.query("SELECT count(*) = count(DISTINCT " + name + ") AND count(" + name +
                                                     ") = count(*) AS ok FROM " + target(parent));
                    const bool isKey = unique && unique->columns[0][0].number().value_or(0) != 0;
                    const bool hasKey = std::any_of(keyed.begin(), keyed.end(), [&](const auto& k) { return k.first == parent; });
                    if (isKey && !hasKey) {
                        server.exec("ALTER TABLE " + target(parent) + " ADD PRIMARY KEY (" + name + ")");
                        keyed.insert({parent, column});
                    } else {
                        index(parent, column);
                    }
                }
            }
            if (!child.empty())
                index(child, columnOf(child, relations.value("rtabcolphyname").text()));
        }
    }
    if (const std::string domains = actualName(tables, "mdstatdomdet"); !domains.empty())
        index(domains, columnOf(domains, "domainname"));
}

} // namespace

void importToServer(const std::string& sourceConnect, const std::string& serverConnect, const ImportProgress& progress)
{
    const auto settings = detail::serverSettings(parseConnectionString(serverConnect));
    if (!settings)
        throw EngineError(kProviderError, "importToServer", "Not a server connection string: " + serverConnect);
    Connection source;
    source.setConnectionString(sourceConnect);
    source.setMode(adModeRead);
    source.open();
    const auto server = PgDatabase::open(*settings, PgDatabase::SchemaUse::Create);
    const std::string schema = server->quotedSchema();

    server->exec("BEGIN");
    try {
        // SQLite's declared types that the server has no name for, kept as domains so
        // that the reader gives them back as the SQLite reader does.
        for (const auto& [name, base] : {std::pair{"single", "double precision"}, std::pair{"memo", "text"}})
            server->exec("DO $$BEGIN CREATE DOMAIN " + schema + "." + name + " AS " + base +
                         "; EXCEPTION WHEN duplicate_object THEN NULL; END$$");
        const std::vector<std::string> tables = source.tableNames();
        for (const std::string& table : tables) {
            const std::vector<FieldInfo> fields = source.columns(table);
            if (fields.empty())
                continue;
            // Singles and untyped columns are read as SQLite stores them (+x has no type).
            std::string select;
            for (const auto& field : fields) {
                const std::string name = quoteIdentifier(field.name);
                const bool raw = field.type == adSingle || field.type == adVariant;
                select += (select.empty() ? "" : ",") + (raw ? "+" + name + " AS " + name : name);
            }
            Recordset rows = source.execute("SELECT " + select + " FROM " + quoteIdentifier(table));
            std::vector<ColumnPlan> plans;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                std::vector<Variant> values;
                values.reserve(static_cast<std::size_t>(std::max(0L, rows.recordCount())));
                for (rows.moveFirst(); !rows.eof(); rows.moveNext())
                    values.push_back(rows.value(static_cast<int>(i)));
                plans.push_back(planColumn(table, fields[i], values));
            }

            const std::string target = schema + "." + quoteIdentifier(table);
            std::string create, names;
            for (const auto& plan : plans) {
                const std::string name = quoteIdentifier(plan.field.name);
                create += (create.empty() ? "" : ", ") + name + " " +
                          (plan.serverType == "single" || plan.serverType == "memo" ? schema + "." : std::string()) +
                          plan.serverType;
                names += (names.empty() ? "" : ", ") + name;
            }
            server->exec("DROP TABLE IF EXISTS " + target + " CASCADE");
            server->exec("CREATE TABLE " + target + " (" + create + ")");
            server->beginCopy("COPY " + target + " (" + names + ") FROM STDIN");
            std::string buffer;
            std::int64_t count = 0;
            for (rows.moveFirst(); !rows.eof(); rows.moveNext(), ++count) {
                for (std::size_t i = 0; i < plans.size(); ++i) {
                    if (i)
                        buffer += '\t';
                    appendValue(buffer, plans[i], rows.value(static_cast<int>(i)));
                }
                buffer += '\n';
                if (buffer.size() > (1 << 20)) {
                    server->putCopyData(buffer);
                    buffer.clear();
                }
            }
            if (!buffer.empty())
                server->putCopyData(buffer);
            server->endCopy();
            if (progress)
                progress(table, count);
        }
        addKeys(source, *server, tables);
        server->exec("COMMIT");
        // Planner statistics, so that the first runs on the new tables use their indexes.
        for (const std::string& table : tables)
            if (!source.columns(table).empty())
                server->exec("ANALYZE " + schema + "." + quoteIdentifier(table));
    } catch (...) {
        try {
            server->exec("ROLLBACK");
        } catch (const EngineError&) {
            // The error that ended the load says more than a failed rollback.
        }
        throw;
    }
}

} // namespace qln::ado
