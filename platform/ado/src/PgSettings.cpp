#include "PgSettings.h"

#include "Database.h"
#include "quillon/ado/DataSources.h"
#include "quillon/Text.h"

#include <cctype>
#include <cstdlib>

namespace qln::ado::detail {
namespace {


bool namesPostgres(const std::string& driver)
{
    return lowerAscii(driver).find("postgres") != std::string::npos;
}

std::string firstOf(const std::map<std::string, std::string>& pairs, std::initializer_list<const char*> keys)
{
    for (const char* key : keys) {
        if (const auto it = pairs.find(key); it != pairs.end() && !it->second.empty())
            return it->second;
    }
    return {};
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string ServerSettings::describe() const
{
    std::string host = server.empty() ? environment("PGHOST") : server;
    if (host.empty())
        host = "localhost (default socket)";
    const std::string portText = port.empty() ? environment("PGPORT") : port;
    if (!portText.empty())
        host += ":" + portText;
    std::string name = database.empty() ? environment("PGDATABASE") : database;
    if (name.empty())
        name = user.empty() ? environment("PGUSER") : user;
    if (name.empty())
        name = "(default)";
    return "PostgreSQL server " + host + ", database " + name;
}

std::optional<ServerSettings> serverSettings(const std::map<std::string, std::string>& pairs)
{
    std::map<std::string, std::string> values = pairs;
    if (!namesPostgres(firstOf(values, {"DRIVER"}))) {
        const std::string dsn = firstOf(values, {"DSN"});
        if (dsn.empty())
            return std::nullopt;
        auto source = dataSourceValues(dsn);
        if (!namesPostgres(firstOf(source, {"DRIVER"})))
            return std::nullopt;
        // The connection string's own keys win over the data source's.
        for (auto& [key, value] : pairs)
            if (!value.empty())
                source[key] = value;
        values = std::move(source);
    }
    ServerSettings settings;
    settings.server = firstOf(values, {"SERVER", "SERVERNAME", "HOST"});
    settings.port = firstOf(values, {"PORT"});
    settings.database = firstOf(values, {"DATABASE", "DB", "DBNAME"});
    settings.user = firstOf(values, {"UID", "USERNAME", "USER"});
    if (const std::string schema = firstOf(values, {"SCHEMA"}); !schema.empty())
        settings.schema = schema;
    if (!firstOf(values, {"PWD", "PASSWORD"}).empty())
        raiseProviderError("A password is not taken from a connection string or data source (" + settings.describe() +
                           "): set PGPASSWORD or use ~/.pgpass");
    return settings;
}

} // namespace qln::ado::detail
