#pragma once

#include "Database.h"
#include "PgSettings.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct pg_conn;

namespace qln::ado::detail {

struct PgConnectionCloser {
    void operator()(pg_conn* connection) const;
};
using PgConnection = std::unique_ptr<pg_conn, PgConnectionCloser>;

// A schema of a PostgreSQL database, reached through libpq. Queries arrive in the
// Access-style SQL of the rest of the system and are translated once (PgSql.h); their
// values come back shaped as the SQLite reader shapes them, so a run reads the same
// ratings from either. Record sets never write back to the server.
class PgDatabase final : public Database {
public:
    enum class SchemaUse { MustExist, Create };

    // Connects and selects the schema. Errors name the server and the database (never a
    // password): no server, refused login, no such database or schema.
    static std::shared_ptr<PgDatabase> open(const ServerSettings& settings, SchemaUse use = SchemaUse::MustExist);
    ~PgDatabase() override;
    PgDatabase(const PgDatabase&) = delete;
    PgDatabase& operator=(const PgDatabase&) = delete;

    const ServerSettings& settings() const { return m_settings; }
    // The schema's name in double quotes, for statements the loader writes itself.
    std::string quotedSchema() const;

    bool readOnly() const override { return true; }
    void requireWritable(std::string_view table) const override;
    std::shared_ptr<Table> query(std::string_view sql) override;
    void exec(std::string_view sql) override;
    void writeRow(Table& table, std::uint32_t row) override;
    std::vector<std::string> tableNames() override;
    std::vector<FieldInfo> columns(std::string_view table) override;

    // Bulk loading: a COPY ... FROM STDIN command, its data in COPY's text format in any
    // number of pieces, then the end (which reports a row the server refused).
    void beginCopy(std::string_view command);
    void putCopyData(std::string_view data);
    void endCopy();

private:
    PgDatabase(ServerSettings settings, PgConnection connection);
    [[noreturn]] void fail(const std::string& message, std::string_view sql) const;
    // The columns of a stored table by attribute number (1-based), cached per table.
    const std::vector<FieldInfo>& storedColumns(unsigned tableOid);

    ServerSettings m_settings;
    PgConnection m_connection;
    std::unordered_map<unsigned, std::vector<FieldInfo>> m_storedColumns;
    std::string m_copyCommand;  // the COPY under way, for its errors
};

// The ADO type and size of a column type as the server names it (format_type), matching
// what the SQLite reader gives for the type it was loaded from.
FieldInfo fieldForServerType(std::string name, std::string_view serverType);

} // namespace qln::ado::detail
