#include "Database.h"

#include "quillon/Error.h"
#include "quillon/SqlText.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace qln::ado::detail {
namespace {

std::string upper(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

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

// Days since 1899-12-30 of a civil date.
double serialOf(long long year, long long month, long long day)
{
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yoe = year - era * 400;
    const long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<double>(era * 146097 + doe - 719468 + 25569);
}

// The number at `at` (no blanks, no locale), moving past it; false when there is none.
template <typename Number>
bool readNumber(std::string_view text, std::size_t& at, Number& value)
{
    const auto result = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (result.ec != std::errc())
        return false;
    at = static_cast<std::size_t>(result.ptr - text.data());
    return true;
}

bool readChar(std::string_view text, std::size_t& at, char wanted)
{
    if (at >= text.size() || text[at] != wanted)
        return false;
    ++at;
    return true;
}

// "YYYY-MM-DD[ HH:MM[:SS[.fff]]]" (or with "T"); nothing when the text is no such date.
// Seconds keep their fraction with a point whatever the locale.
std::optional<Date> parseIsoDate(std::string_view text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double second = 0;
    std::size_t at = 0;
    if (!readNumber(text, at, year) || !readChar(text, at, '-') || !readNumber(text, at, month) ||
        !readChar(text, at, '-') || !readNumber(text, at, day) || month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    if (at == text.size())
        return Date{serialOf(year, month, day)};
    if (text[at] != ' ' && text[at] != 'T')
        return std::nullopt;
    ++at;
    if (!readNumber(text, at, hour) || !readChar(text, at, ':') || !readNumber(text, at, minute))
        return Date{serialOf(year, month, day)};
    if (readChar(text, at, ':'))
        readNumber(text, at, second);
    return Date{serialOf(year, month, day) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0};
}

std::string isoText(Date date)
{
    return Variant(date).text();
}

// A value read from SQLite, shaped by the field's ADO type.
Variant readValue(sqlite3_stmt* stmt, int column, int type)
{
    const int storage = sqlite3_column_type(stmt, column);
    if (storage == SQLITE_NULL)
        return Variant::null();
    auto asText = [&] {
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
        return Variant(sqlite3_column_double(stmt, column) != 0.0);
    case adSingle:
        if (storage == SQLITE_TEXT)
            break;
        return Variant(static_cast<float>(sqlite3_column_double(stmt, column)));
    case adDouble:
        if (storage == SQLITE_TEXT)
            break;
        return Variant(sqlite3_column_double(stmt, column));
    case adDate:
        if (storage == SQLITE_TEXT) {
            if (const auto date = parseIsoDate(asText()))
                return Variant(*date);
            break;
        }
        return Variant(Date{sqlite3_column_double(stmt, column)});
    default:
        if (isTextType(type))
            return Variant(asText());
        break;
    }
    switch (storage) {
    case SQLITE_INTEGER:
        return Variant(static_cast<long long>(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
        return Variant(sqlite3_column_double(stmt, column));
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
        sqlite3_bind_double(stmt, index, static_cast<double>(value.single()));
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

struct StatementDeleter {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

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

} // namespace

void raiseProviderError(std::string description)
{
    throw EngineError(kProviderError, kProviderSource, std::move(description));
}

FieldInfo Database::fieldForDeclaredType(std::string name, std::string_view declaredType)
{
    FieldInfo info{std::move(name), adVariant, 0, adFldMayBeNull | adFldUpdatable};
    const std::string type = upper(declaredType);
    long size = 0;
    if (const auto open = type.find('('); open != std::string::npos) {
        const char* first = type.data() + open + 1;
        std::from_chars(first, type.data() + type.size(), size);
    }
    auto has = [&](std::string_view word) { return type.find(word) != std::string::npos; };
    if (type.empty()) {
        info.type = adVariant;
    } else if (has("BOOL") || has("BIT") || has("YESNO") || has("LOGICAL")) {
        info.type = adBoolean;
        info.definedSize = 2;
    } else if (has("MEMO") || has("LONGTEXT") || has("CLOB")) {
        info.type = adLongVarChar;
        info.definedSize = 1073741823;
    } else if (type.rfind("CHAR", 0) == 0 || type.rfind("NCHAR", 0) == 0) {
        info.type = adChar;
        info.definedSize = size > 0 ? size : 1;
        info.attributes |= adFldFixed;
    } else if (has("CHAR") || has("TEXT") || has("STRING")) {
        info.type = adVarChar;
        info.definedSize = size > 0 ? size : 255;
    } else if (has("BIGINT")) {
        info.type = adBigInt;
        info.definedSize = 8;
    } else if (has("SMALLINT") || has("SHORT") || has("TINYINT") || has("BYTE")) {
        info.type = adSmallInt;
        info.definedSize = 2;
    } else if (has("INT") || has("LONG") || has("COUNTER")) {
        info.type = adInteger;
        info.definedSize = 4;
    } else if (has("SINGLE") || has("FLOAT4")) {
        info.type = adSingle;
        info.definedSize = 4;
    } else if (has("REAL") || has("DOUB") || has("FLOA") || has("NUMERIC") || has("DECIMAL") || has("CURRENCY") ||
               has("MONEY")) {
        info.type = adDouble;
        info.definedSize = 8;
    } else if (has("DATE") || has("TIME")) {
        info.type = adDate;
        info.definedSize = 8;
    }
    return info;
}

std::shared_ptr<Database> Database::open(const std::filesystem::path& file, bool readOnly)
{
    sqlite3* handle = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &handle, readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
    if (!readOnly && (rc == SQLITE_READONLY || rc == SQLITE_CANTOPEN || rc == SQLITE_PERM)) {
        readOnly = true;
        sqlite3_close(handle);
        handle = nullptr;
        rc = sqlite3_open_v2(file.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
    }
    if (rc != SQLITE_OK) {
        const std::string message = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc);
        sqlite3_close(handle);
        raiseProviderError("Cannot open database file " + file.string() + ": " + message);
    }
    sqlite3_busy_timeout(handle, 5000);
    if (!readOnly)
        readOnly = sqlite3_db_readonly(handle, "main") == 1;
    std::shared_ptr<Database> database(new Database(file, handle, readOnly));
    // Reading the schema proves the file is a whole SQLite database.
    char* error = nullptr;
    if (sqlite3_exec(handle, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        raiseProviderError("Cannot read database file " + file.string() + ": " + message);
    }
    return database;
}

Database::Database(std::filesystem::path path, sqlite3* handle, bool readOnly)
    : m_path(std::move(path)), m_handle(handle), m_readOnly(readOnly)
{
}

void Database::requireWritable(std::string_view table) const
{
    if (m_readOnly)
        throw EngineError(adErrFeatureNotAvailable, kProviderSource,
                          "Cannot change table " + std::string(table) + ": the database " + m_path.string() +
                              " is open read-only.");
}

Database::~Database()
{
    sqlite3_close_v2(m_handle);
}

void Database::fail(std::string_view what) const
{
    raiseProviderError(std::string(sqlite3_errmsg(m_handle)) + " (" + std::string(what) + ")");
}

std::shared_ptr<Table> Database::query(std::string_view sql)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_handle, sql.data(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK)
        fail(sql);
    Statement stmt(raw);
    if (sqlite3_column_count(raw) == 0) {
        if (const int rc = sqlite3_step(raw); rc != SQLITE_DONE && rc != SQLITE_ROW)
            fail(sql);
        return nullptr;
    }

    // A query on one table reads the row ids too, so that updates can find their rows.
    std::string source = singleSourceTable(raw);
    int firstField = 0;
    const auto start = sql.find_first_not_of(" \t\r\n");
    const std::string_view afterSelect = startsWithWord(sql, "SELECT") ? sql.substr(start + 6) : std::string_view();
    if (!source.empty() && !afterSelect.empty() && !startsWithWord(afterSelect, "DISTINCT")) {
        const std::string withRowid = "SELECT _rowid_, " + std::string(afterSelect);
        sqlite3_stmt* rowidRaw = nullptr;
        if (sqlite3_prepare_v2(m_handle, withRowid.c_str(), -1, &rowidRaw, nullptr) == SQLITE_OK &&
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

    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
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
    if (rc != SQLITE_DONE)
        fail(sql);
    if (!source.empty()) {
        table->sourceTable = source;
        table->database = shared_from_this();
    }
    return table;
}

void Database::exec(std::string_view sql)
{
    char* error = nullptr;
    const std::string text(sql);
    if (sqlite3_exec(m_handle, text.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(m_handle);
        sqlite3_free(error);
        raiseProviderError(message + " (" + text + ")");
    }
}

void Database::writeRow(Table& table, std::uint32_t row)
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
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_handle, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        fail(sql);
    Statement stmt(raw);
    int index = 1;
    for (const int f : fields)
        bindValue(raw, index++, table.columns[static_cast<std::size_t>(f)][row]);
    if (!isNew)
        sqlite3_bind_int64(raw, index, table.rowids[row]);
    if (sqlite3_step(raw) != SQLITE_DONE)
        fail(sql);
    if (isNew)
        table.rowids[row] = sqlite3_last_insert_rowid(m_handle);
    else if (sqlite3_changes(m_handle) != 1)
        raiseProviderError("Row cannot be located for updating in table " + table.sourceTable);
}

std::vector<std::string> Database::tableNames()
{
    std::vector<std::string> names;
    const auto table = query("SELECT name FROM sqlite_master WHERE type IN ('table','view') "
                             "AND name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY rowid");
    for (const Variant& name : table->columns[0])
        names.push_back(name.text());
    return names;
}

std::vector<FieldInfo> Database::columns(std::string_view tableName)
{
    std::vector<FieldInfo> result;
    const std::string sql = "SELECT name, type FROM pragma_table_info(?)";
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_handle, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
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
