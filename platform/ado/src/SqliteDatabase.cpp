#include "SqliteDatabase.h"

#include "SqliteHandles.h"
#include "quillon/Error.h"
#include "quillon/ado/ReadWatch.h"
#include "quillon/SqlText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <exception>

namespace qln::ado::detail {
namespace {

bool startsWithWord(std::string_view text, std::string_view word)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (text.size() - i < word.size())
        return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        if (std::toupper(static_cast<unsigned char>(text[i + k])) != word[k])
            return false;
    }
    return text.size() == i + word.size() || std::isspace(static_cast<unsigned char>(text[i + word.size()]));
}

std::string isoText(Date date)
{
    return Variant(date).text();
}

// A value read from SQLite, shaped by the field's ADO type. The cell is fetched once (one
// round of the connection's lock instead of one per sqlite3_column_* call) and read with
// the sqlite3_value_* calls that neither convert nor allocate; the statement is this
// thread's own. Numbers wanted as text are formatted by SQLite itself.
Variant readValue(sqlite3_stmt* stmt, int column, int type)
{
    sqlite3_value* cell = sqlite3_column_value(stmt, column);
    const int storage = sqlite3_value_type(cell);
    if (storage == SQLITE_NULL)
        return Variant::null();
    auto asText = [&] {
        if (storage == SQLITE_TEXT) {
            const auto* bytes = static_cast<const char*>(sqlite3_value_blob(cell));
            return std::string(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_value_bytes(cell)));
        }
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return std::string(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
    };
    switch (type) {
    case adBoolean:
        if (storage == SQLITE_TEXT) {
            const std::string text = upper(asText());
            if (text == "TRUE" || text == "YES")
                return Variant(true);
            if (text == "FALSE" || text == "NO")
                return Variant(false);
        }
        return Variant(sqlite3_value_double(cell) != 0.0);
    case adSingle:
        if (storage == SQLITE_TEXT)
            break;
        return Variant(static_cast<float>(sqlite3_value_double(cell)));
    case adDouble:
        if (storage == SQLITE_TEXT)
            break;
        return Variant(sqlite3_value_double(cell));
    case adDate:
        if (storage == SQLITE_TEXT) {
            if (const auto date = parseIsoDate(asText()))
                return Variant(*date);
            break;
        }
        return Variant(Date{sqlite3_value_double(cell)});
    default:
        if (isTextType(type))
            return Variant(asText());
        break;
    }
    switch (storage) {
    case SQLITE_INTEGER:
        return Variant(static_cast<long long>(sqlite3_value_int64(cell)));
    case SQLITE_FLOAT:
        return Variant(sqlite3_value_double(cell));
    default:
        return Variant(asText());
    }
}

void bindValue(sqlite3_stmt* stmt, int index, const Variant& value)
{
    switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        sqlite3_bind_null(stmt, index);
        break;
    case Variant::Kind::Boolean:
        sqlite3_bind_int(stmt, index, value.boolean() ? 1 : 0);
        break;
    case Variant::Kind::Integer:
        sqlite3_bind_int64(stmt, index, value.integer());
        break;
    case Variant::Kind::Single:
        // Stored as the decimal the user reads (0.22, not 0.2199999988), as Access imports are.
        sqlite3_bind_double(stmt, index, singleToDouble(value.single()));
        break;
    case Variant::Kind::Double:
        sqlite3_bind_double(stmt, index, value.real());
        break;
    case Variant::Kind::Text:
        sqlite3_bind_text(stmt, index, value.str().data(), static_cast<int>(value.str().size()), SQLITE_TRANSIENT);
        break;
    case Variant::Kind::Date: {
        const std::string text = isoText(value.date());
        sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        break;
    }
    }
}

// The one table every column of a prepared query reads, or "" when there is none.
std::string singleSourceTable(sqlite3_stmt* stmt)
{
    const int count = sqlite3_column_count(stmt);
    std::string table;
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_table_name(stmt, i);
        if (!name)
            return {};
        if (i == 0)
            table = name;
        else if (table != name)
            return {};
    }
    return table;
}

// Tells the thread's watch, while one lives, how far the connection's query has come: SQLite
// calls back every so many steps of its program, between rows and inside a sort alike.
class WatchedQuery {
public:
    WatchedQuery(sqlite3* handle, const std::size_t& rows) : m_handle(handle), m_rows(rows), m_watch(ReadWatch::current())
    {
        if (m_watch)
            sqlite3_progress_handler(m_handle, kSteps, &WatchedQuery::tell, this);
    }
    ~WatchedQuery()
    {
        if (m_watch)
            sqlite3_progress_handler(m_handle, 0, nullptr, nullptr);
    }
    WatchedQuery(const WatchedQuery&) = delete;
    WatchedQuery& operator=(const WatchedQuery&) = delete;

    // After a step that failed: what the watch threw to stop it, if it did.
    void rethrowStop() const
    {
        if (m_stop)
            std::rethrow_exception(m_stop);
    }

private:
    // About a millisecond of work.
    static constexpr int kSteps = 100000;

    static int tell(void* self)
    {
        auto& query = *static_cast<WatchedQuery*>(self);
        try {
            query.m_watch->seen(static_cast<long>(query.m_rows));
            return 0;
        } catch (...) {
            query.m_stop = std::current_exception();  // nothing may be thrown through SQLite
            return 1;
        }
    }

    sqlite3* m_handle;
    const std::size_t& m_rows;
    const ReadWatch* m_watch;
    std::exception_ptr m_stop;
};

} // namespace

std::shared_ptr<SqliteDatabase> SqliteDatabase::open(const std::filesystem::path& file, bool readOnly,
                                                     std::function<bool(int)> lockWait)
{
    int rc = SQLITE_OK;
    SqliteHandle owned = openSqlite(file.c_str(), readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, rc);
    if (!readOnly && (rc == SQLITE_READONLY || rc == SQLITE_CANTOPEN || rc == SQLITE_PERM)) {
        readOnly = true;
        owned.reset();
        owned = openSqlite(file.c_str(), SQLITE_OPEN_READONLY, rc);
    }
    sqlite3* const handle = owned.get();
    if (rc != SQLITE_OK)
        raiseProviderError("Cannot open database file " + file.string() + ": " +
                           (handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc)));
    if (!readOnly)
        readOnly = sqlite3_db_readonly(handle, "main") == 1;
    std::shared_ptr<SqliteDatabase> database(new SqliteDatabase(file, std::move(owned), readOnly));
    if (lockWait) {
        database->m_lockWait = std::move(lockWait);
        sqlite3_busy_handler(
            handle,
            [](void* self, int attempt) -> int {
                try {
                    if (!static_cast<SqliteDatabase*>(self)->m_lockWait(attempt))
                        return 0;
                } catch (...) {
                    return 0;  // nothing may be thrown through SQLite
                }
                sqlite3_sleep(50);
                return 1;
            },
            database.get());
    } else {
        sqlite3_busy_timeout(handle, 5000);
    }
    // Reading the schema proves the file is a whole SQLite database.
    char* error = nullptr;
    if (sqlite3_exec(handle, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        raiseProviderError("Cannot read database file " + file.string() + ": " + message);
    }
    return database;
}

SqliteDatabase::SqliteDatabase(std::filesystem::path path, SqliteHandle handle, bool readOnly)
    : m_path(std::move(path)), m_handle(std::move(handle)), m_readOnly(readOnly)
{
}

void SqliteDatabase::requireWritable(std::string_view table) const
{
    if (m_readOnly)
        throw EngineError(adErrFeatureNotAvailable, kProviderSource,
                          "Cannot change table " + std::string(table) + ": the database " + m_path.string() +
                              " is open read-only.");
}

SqliteDatabase::~SqliteDatabase()
{
    m_write.reset();
}

void SqliteDatabase::fail(std::string_view what) const
{
    raiseProviderError(std::string(sqlite3_errmsg(m_handle.get())) + " (" + std::string(what) + ")");
}

std::shared_ptr<Table> SqliteDatabase::query(std::string_view sql)
{
    return run(sql, true);
}

std::shared_ptr<Table> SqliteDatabase::readRows(std::string_view sql)
{
    return run(sql, false);
}

std::shared_ptr<Table> SqliteDatabase::run(std::string_view sql, bool bindable)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_handle.get(), sql.data(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK)
        fail(sql);
    Statement stmt(raw);
    if (sqlite3_column_count(raw) == 0) {
        if (const int rc = sqlite3_step(raw); rc != SQLITE_DONE && rc != SQLITE_ROW)
            fail(sql);
        return nullptr;
    }

    // A query on one table reads the row ids too, so that updates can find their rows.
    std::string source = bindable ? singleSourceTable(raw) : std::string();
    int firstField = 0;
    const auto start = sql.find_first_not_of(" \t\r\n");
    const std::string_view afterSelect = startsWithWord(sql, "SELECT") ? sql.substr(start + 6) : std::string_view();
    if (!source.empty() && !afterSelect.empty() && !startsWithWord(afterSelect, "DISTINCT")) {
        const std::string withRowid = "SELECT _rowid_, " + std::string(afterSelect);
        sqlite3_stmt* rowidRaw = nullptr;
        if (sqlite3_prepare_v2(m_handle.get(), withRowid.c_str(), -1, &rowidRaw, nullptr) == SQLITE_OK &&
            sqlite3_column_count(rowidRaw) == sqlite3_column_count(raw) + 1 && singleSourceTable(rowidRaw) == source) {
            stmt.reset(rowidRaw);
            raw = rowidRaw;
            firstField = 1;
        } else {
            sqlite3_finalize(rowidRaw);
            source.clear();
        }
    } else {
        source.clear();
    }

    auto table = std::make_shared<Table>();
    const int count = sqlite3_column_count(raw);
    std::vector<bool> typeFromData;
    for (int i = firstField; i < count; ++i) {
        const char* declared = sqlite3_column_decltype(raw, i);
        table->addField(fieldForDeclaredType(sqlite3_column_name(raw, i), declared ? declared : ""));
        typeFromData.push_back(declared == nullptr);
        const char* origin = sqlite3_column_origin_name(raw, i);
        table->sourceColumns.emplace_back(origin ? origin : "");
    }

    std::size_t rows = 0;
    WatchedQuery watched(m_handle.get(), rows);
    int rc;
    for (; (rc = sqlite3_step(raw)) == SQLITE_ROW; ++rows) {
        if (firstField == 1)
            table->rowids.push_back(sqlite3_column_int64(raw, 0));
        for (int i = firstField; i < count; ++i) {
            const auto field = static_cast<std::size_t>(i - firstField);
            FieldInfo& info = table->fields[field];
            if (typeFromData[field] && info.type == adVariant) {
                // An expression column takes the type of its first value.
                switch (sqlite3_column_type(raw, i)) {
                case SQLITE_INTEGER: info.type = adInteger; info.definedSize = 4; break;
                case SQLITE_FLOAT: info.type = adDouble; info.definedSize = 8; break;
                case SQLITE_TEXT: info.type = adVarChar; info.definedSize = 255; break;
                default: break;
                }
            }
            table->columns[field].push_back(readValue(raw, i, info.type));
        }
    }
    if (rc != SQLITE_DONE) {
        watched.rethrowStop();
        fail(sql);
    }
    if (!source.empty()) {
        table->sourceTable = source;
        table->database = shared_from_this();
    }
    return table;
}

void SqliteDatabase::exec(std::string_view sql)
{
    char* error = nullptr;
    // A transaction of a writable database takes the write lock at its start: SQLite never
    // waits (nor asks the lock wait) for a lock a transaction that has read must upgrade.
    const std::string text = sql == "BEGIN" && !m_readOnly ? std::string("BEGIN IMMEDIATE") : std::string(sql);
    if (sqlite3_exec(m_handle.get(), text.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(m_handle.get());
        sqlite3_free(error);
        raiseProviderError(message + " (" + text + ")");
    }
}

void SqliteDatabase::writeRow(Table& table, std::uint32_t row)
{
    requireWritable(table.sourceTable);
    std::vector<int> fields;
    for (std::size_t f = 0; f < table.fields.size(); ++f) {
        if (!table.chapters[f] && !table.sourceColumns[f].empty())
            fields.push_back(static_cast<int>(f));
    }
    const bool isNew = table.rowids[row] < 0;
    std::string sql;
    if (isNew) {
        std::string names, marks;
        for (const int f : fields) {
            names += (names.empty() ? "" : ",") + quoteIdentifier(table.sourceColumns[static_cast<std::size_t>(f)]);
            marks += marks.empty() ? "?" : ",?";
        }
        sql = "INSERT INTO " + quoteIdentifier(table.sourceTable) +
              (fields.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + marks + ")");
    } else {
        std::string sets;
        for (const int f : fields)
            sets += (sets.empty() ? "" : ",") + quoteIdentifier(table.sourceColumns[static_cast<std::size_t>(f)]) + "=?";
        if (sets.empty())
            return;
        sql = "UPDATE " + quoteIdentifier(table.sourceTable) + " SET " + sets + " WHERE _rowid_=?";
    }
    if (sql != m_writeSql || !m_write) {
        m_write.reset();
        m_writeSql.clear();
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(m_handle.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
            fail(sql);
        m_write.reset(raw);
        m_writeSql = sql;
    }
    sqlite3_stmt* stmt = m_write.get();
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    int index = 1;
    for (const int f : fields)
        bindValue(stmt, index++, table.columns[static_cast<std::size_t>(f)][row]);
    if (!isNew)
        sqlite3_bind_int64(stmt, index, table.rowids[row]);
    if (sqlite3_step(stmt) != SQLITE_DONE) {
        // A failed statement is dropped, with whatever it still holds.
        const std::string message = sqlite3_errmsg(m_handle.get());
        m_write.reset();
        m_writeSql.clear();
        raiseProviderError(message + " (" + sql + ")");
    }
    if (isNew)
        table.rowids[row] = sqlite3_last_insert_rowid(m_handle.get());
    else if (sqlite3_changes(m_handle.get()) != 1)
        raiseProviderError("Row cannot be located for updating in table " + table.sourceTable);
}

std::vector<std::string> SqliteDatabase::tableNames()
{
    std::vector<std::string> names;
    const auto table = query("SELECT name FROM sqlite_master WHERE type IN ('table','view') "
                             "AND name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY rowid");
    for (const Variant& name : table->columns[0])
        names.push_back(name.text());
    return names;
}

std::vector<FieldInfo> SqliteDatabase::columns(std::string_view tableName)
{
    std::vector<FieldInfo> result;
    const std::string sql = "SELECT name, type FROM pragma_table_info(?)";
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_handle.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        fail(sql);
    Statement stmt(raw);
    sqlite3_bind_text(raw, 1, tableName.data(), static_cast<int>(tableName.size()), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
        const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(raw, 1));
        result.push_back(fieldForDeclaredType(name ? name : "", type ? type : ""));
    }
    if (rc != SQLITE_DONE)
        fail(sql);
    return result;
}

} // namespace qln::ado::detail
