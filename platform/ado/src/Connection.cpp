#include "quillon/ado/Connection.h"

#include "PgDatabase.h"
#include "PgSettings.h"
#include "SqliteDatabase.h"
#include "quillon/Error.h"
#include "quillon/ado/AccessImport.h"
#include "quillon/ado/DataSources.h"

#include <cctype>

namespace qln::ado {
namespace {

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::map<std::string, std::string> parseConnectionString(std::string_view text)
{
    std::map<std::string, std::string> pairs;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto equal = text.find('=', i);
        if (equal == std::string_view::npos)
            break;
        if (const auto semicolon = text.find(';', i); semicolon < equal) {
            i = semicolon + 1;  // a piece without "=" names nothing
            continue;
        }
        const std::string key = upper(trimmed(text.substr(i, equal - i)));
        i = equal + 1;
        while (i < text.size() && text[i] == ' ')
            ++i;
        std::string value;
        if (i < text.size() && text[i] == '{') {
            // A braced value may hold ";"; "}}" stands for one "}".
            ++i;
            while (i < text.size()) {
                if (text[i] == '}') {
                    if (i + 1 < text.size() && text[i + 1] == '}') {
                        value += '}';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            const auto semicolon = text.find(';', i);
            i = semicolon == std::string_view::npos ? text.size() : semicolon + 1;
        } else {
            const auto semicolon = text.find(';', i);
            const auto end = semicolon == std::string_view::npos ? text.size() : semicolon;
            value = trimmed(text.substr(i, end - i));
            i = end + 1;
        }
        if (!key.empty())
            pairs[key] = value;
    }
    return pairs;
}

std::string quoteConnectionValue(std::string_view value)
{
    std::string quoted = "{";
    for (const char c : value) {
        quoted += c;
        if (c == '}')
            quoted += '}';
    }
    return quoted + "}";
}

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::setConnectionString(std::string text)
{
    m_connectionString = std::move(text);
}

void Connection::open(std::string_view user, std::string_view password)
{
    if (!user.empty() || !password.empty())
        detail::raiseProviderError("Open databases without a user or password: a server account is named by Uid= "
                                   "and its password comes from PGPASSWORD or ~/.pgpass");
    const auto pairs = parseConnectionString(m_connectionString);
    auto get = [&](const char* key) {
        const auto it = pairs.find(key);
        return it == pairs.end() ? std::string() : it->second;
    };
    const std::string provider = upper(get("PROVIDER"));
    const bool shape = provider.rfind("MSDATASHAPE", 0) == 0;

    if (auto server = detail::serverSettings(pairs)) {
        m_database = detail::PgDatabase::open(*server);
        m_path.clear();
        m_shape = shape;
        return;
    }

    std::filesystem::path file = get("DBQ");
    if (file.empty())
        file = get("DATA SOURCE");
    if (file.empty()) {
        const std::string dsn = get("DSN");
        if (dsn.empty())
            detail::raiseProviderError("The connection string names no database (DSN= or DBQ=): " + m_connectionString);
        const auto found = findDataSource(dsn);
        if (!found)
            detail::raiseProviderError("Data source name not found: " + dsn);
        file = *found;
    }
    if (file.is_relative() && !get("DEFAULTDIR").empty())
        file = std::filesystem::path(get("DEFAULTDIR")) / file;

    const std::string mode = upper(get("MODE"));
    bool readOnly = m_mode == adModeRead || mode == "READ" || mode == "1";
    std::filesystem::path sqliteFile;
    switch (detectFileKind(file)) {
    case FileKind::SQLite:
        sqliteFile = file;
        break;
    case FileKind::Access:
        // The mirror is a cache of the Access file: a write to it would be lost.
        sqliteFile = mirrorAccessFile(file);
        readOnly = true;
        break;
    case FileKind::Unknown:
        detail::raiseProviderError(file.string() + " is neither an SQLite nor an Access database");
    }
    m_database = detail::SqliteDatabase::open(sqliteFile, readOnly, m_lockWait);
    m_path = sqliteFile;
    m_shape = shape;
}

bool Connection::isOpen() const
{
    return m_database != nullptr;
}

void Connection::close()
{
    m_database.reset();
    m_path.clear();
    m_shape = false;
}

bool Connection::isReadOnly() const
{
    return database()->readOnly();
}

std::shared_ptr<detail::Database> Connection::database() const
{
    if (!m_database)
        throw EngineError(adErrObjectClosed, "Connection", "Operation is not allowed when the object is closed.");
    return m_database;
}

Recordset Connection::execute(std::string_view sql)
{
    Recordset result;
    result.open(sql, *this);
    return result;
}

std::vector<std::string> Connection::tableNames() const
{
    return database()->tableNames();
}

std::vector<FieldInfo> Connection::columns(std::string_view table) const
{
    return database()->columns(table);
}

void Connection::beginTrans()
{
    database()->exec("BEGIN");
}

void Connection::commitTrans()
{
    database()->exec("COMMIT");
}

void Connection::rollbackTrans()
{
    database()->exec("ROLLBACK");
}

} // namespace qln::ado
