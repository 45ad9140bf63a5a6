#pragma once

#include "Database.h"
#include "SqliteHandles.h"

#include <filesystem>
#include <functional>

struct sqlite3;

namespace qln::ado::detail {

// One open SQLite file.
class SqliteDatabase final : public Database {
public:
    // Opens an existing file (never creates one): read-only when asked, else read-write
    // when the file allows it. Errors name the file when it cannot be opened or is no
    // SQLite database.
    // `lockWait` decides how long a lock held by another program is waited for (see
    // Connection::setLockWait); without one, five seconds.
    static std::shared_ptr<SqliteDatabase> open(const std::filesystem::path& file, bool readOnly = false,
                                                std::function<bool(int)> lockWait = {});
    ~SqliteDatabase() override;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    bool readOnly() const override { return m_readOnly; }
    void requireWritable(std::string_view table) const override;
    std::shared_ptr<Table> query(std::string_view sql) override;
    std::shared_ptr<Table> readRows(std::string_view sql) override;
    void exec(std::string_view sql) override;
    void writeRow(Table& table, std::uint32_t row) override;
    std::vector<std::string> tableNames() override;
    std::vector<FieldInfo> columns(std::string_view table) override;

private:
    SqliteDatabase(std::filesystem::path path, SqliteHandle handle, bool readOnly);
    [[noreturn]] void fail(std::string_view what) const;
    // query() and readRows(): with bindable, a query on one table also reads its row ids.
    std::shared_ptr<Table> run(std::string_view sql, bool bindable);

    std::filesystem::path m_path;
    SqliteHandle m_handle;
    bool m_readOnly;
    std::function<bool(int)> m_lockWait;
    // The last row write's statement: writing row after row of one table prepares it once.
    std::string m_writeSql;
    Statement m_write;
};

} // namespace qln::ado::detail
