#include "quillon/ado/ServerImport.h"

#include "PgDatabase.h"
#include "PgSettings.h"
#include "TableChunks.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/ado/Connection.h"
#include "quillon/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <set>

namespace qln::ado {
namespace {

using detail::PgDatabase;
using detail::TableChunks;

// Rows held at once while a table is loaded: a few tens of megabytes for the widest tables.
constexpr std::size_t kRowsPerChunk = 20000;

// How a source column is stored on the server.
struct ColumnPlan {
    FieldInfo field;
    enum class Kind { Boolean, Integer, Real, Date, Text } kind = Kind::Text;
    std::string serverType;
};


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

// What a column's declared type leaves to its values.
enum class Declared { Boolean, Whole, Real, Date, Memo, Characters, Untyped };

Declared declared(int type)
{
    switch (type) {
    case adBoolean: return Declared::Boolean;
    case adSmallInt:
    case adInteger:
    case adBigInt: return Declared::Whole;
    case adSingle:
    case adDouble: return Declared::Real;
    case adDate: return Declared::Date;
    case adLongVarChar:
    case adLongVarWChar: return Declared::Memo;
    case adChar:
    case adVarChar:
    case adWChar:
    case adVarWChar: return Declared::Characters;
    default: return Declared::Untyped;
    }
}

// The server type of a column from its declared type and, where the declaration leaves
// room (SQLite keeps any value anywhere), from the values it holds, shown one at a time.
class ColumnPlanner {
public:
    ColumnPlanner(const std::string& table, FieldInfo field)
        : m_table(table), m_field(std::move(field)),
          m_longest(static_cast<std::size_t>(std::max(1L, m_field.definedSize)))
    {
    }

    void observe(const Variant& value)
    {
        long long number = 0;
        switch (declared(m_field.type)) {
        case Declared::Whole:
            if (value.isMissing() || m_refused)
                break;
            if (!integral(value, number)) {
                refuse(value, "whole number");
                break;
            }
            m_low = std::min(m_low, number);
            m_high = std::max(m_high, number);
            break;
        case Declared::Real:
            if (!value.isMissing() && (value.isText() || value.kind() == Variant::Kind::Date))
                refuse(value, "number");
            break;
        case Declared::Date:
            if (value.isText() && !detail::parseIsoDate(value.str()))
                refuse(value, "date");
            break;
        case Declared::Boolean:
        case Declared::Memo:
            break;
        case Declared::Characters:
            if (!value.isMissing())
                m_longest = std::max(m_longest, characters(value.text()));
            break;
        case Declared::Untyped:
            if (value.isMissing())
                break;
            m_allIntegral = m_allIntegral && integral(value, number);
            m_allNumbers = m_allNumbers && value.isNumber() && value.kind() != Variant::Kind::Date;
            break;
        }
        m_holdsNul = m_holdsNul || (value.isText() && value.str().find('\0') != std::string::npos);
    }

    // Errors (EngineError naming table, column and value) on the first value the column's
    // type cannot hold.
    ColumnPlan plan() const
    {
        if (m_refused)
            refuseValue(m_table, m_field, *m_refused, m_wanted);
        ColumnPlan plan;
        switch (declared(m_field.type)) {
        case Declared::Boolean:
            plan.kind = ColumnPlan::Kind::Boolean;
            plan.serverType = "boolean";
            break;
        case Declared::Whole: {
            plan.kind = ColumnPlan::Kind::Integer;
            const bool fitsSmall = m_low >= -32768 && m_high <= 32767;
            const bool fitsInteger = m_low >= -2147483648LL && m_high <= 2147483647LL;
            plan.serverType = m_field.type == adSmallInt && fitsSmall ? "smallint"
                              : m_field.type != adBigInt && fitsInteger ? "integer"
                                                                         : "bigint";
            break;
        }
        case Declared::Real:
            plan.kind = ColumnPlan::Kind::Real;
            // Singles keep SQLite's stored double, so conditions on them compare alike.
            plan.serverType = m_field.type == adSingle ? "single" : "double precision";
            break;
        case Declared::Date:
            plan.kind = ColumnPlan::Kind::Date;
            plan.serverType = "timestamp";
            break;
        case Declared::Memo:
            plan.serverType = "memo";
            break;
        case Declared::Characters:
            plan.serverType = "character varying(" + std::to_string(std::min<std::size_t>(m_longest, 10485760)) + ")";
            break;
        case Declared::Untyped:
            // No declared type: whole numbers, numbers, or else text.
            plan.kind = m_allIntegral ? ColumnPlan::Kind::Integer
                        : m_allNumbers ? ColumnPlan::Kind::Real
                                       : ColumnPlan::Kind::Text;
            plan.serverType = m_allIntegral ? "bigint" : m_allNumbers ? "double precision" : "text";
            break;
        }
        // A server text holds no NUL character (binary columns of Access files may).
        if (plan.kind == ColumnPlan::Kind::Text && m_holdsNul)
            throw EngineError(kProviderError, "importToServer",
                              "Table " + m_table + ", column " + m_field.name +
                                  " holds binary data (a NUL character), which a server text column cannot "
                                  "hold; nothing was loaded.");
        plan.field = m_field;
        return plan;
    }

private:
    void refuse(const Variant& value, const char* wanted)
    {
        if (!m_refused) {
            m_refused = value;
            m_wanted = wanted;
        }
    }

    std::string m_table;
    FieldInfo m_field;
    std::size_t m_longest;
    long long m_low = 0;
    long long m_high = 0;
    bool m_allIntegral = true;
    bool m_allNumbers = true;
    bool m_holdsNul = false;
    std::optional<Variant> m_refused;  // the first value the declared type cannot hold
    const char* m_wanted = nullptr;
};

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
        if (lowerAscii(name) == lowerAscii(wanted))
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
            // Two passes a chunk at a time: the columns' server types, then the rows.
            std::vector<ColumnPlanner> planners;
            for (const auto& field : fields)
                planners.emplace_back(table, field);
            TableChunks planning(source, table, select, kRowsPerChunk);
            for (Recordset rows; planning.next(rows);) {
                for (; !rows.eof(); rows.moveNext())
                    for (std::size_t i = 0; i < planners.size(); ++i)
                        planners[i].observe(rows.value(static_cast<int>(i)));
            }
            std::vector<ColumnPlan> plans;
            for (const auto& planner : planners)
                plans.push_back(planner.plan());

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
            TableChunks loading(source, table, select, kRowsPerChunk);
            for (Recordset rows; loading.next(rows);) {
                for (; !rows.eof(); rows.moveNext(), ++count) {
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
