#include "TableChunks.h"

#include "quillon/Error.h"
#include "quillon/SqlText.h"

#include <algorithm>
#include <cctype>

namespace qln::ado::detail {

namespace {

bool sameName(const std::string& a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The first of SQLite's names for the row id that no column of the table has taken, when
// the table answers to it with whole numbers; empty for a view or a table without row ids.
std::string rowidName(Connection& source, const std::string& table, const std::string& from)
{
    const auto fields = source.columns(table);
    for (const char* name : {"_rowid_", "rowid", "oid"}) {
        if (std::any_of(fields.begin(), fields.end(), [&](const FieldInfo& f) { return sameName(f.name, name); }))
            continue;
        // A view answers to the name too, with Nulls.
        try {
            const Recordset probe = source.execute(std::string("SELECT ") + name + " FROM " + from + " LIMIT 1");
            return probe.eof() || probe.value(0).kind() == Variant::Kind::Integer ? name : std::string();
        } catch (const EngineError&) {
            return {};
        }
    }
    return {};
}

} // namespace

TableChunks::TableChunks(Connection& source, const std::string& table, std::string columns,
                         std::size_t rowsPerChunk)
    : m_source(source), m_from(quoteIdentifier(table)), m_columns(std::move(columns)),
      m_rowid(rowidName(source, table, m_from)), m_rowsPerChunk(std::max<std::size_t>(1, rowsPerChunk))
{
}

bool TableChunks::next(Recordset& rows)
{
    rows = Recordset();  // the last chunk goes before the next one is read
    if (m_done)
        return false;
    if (m_rowid.empty()) {
        rows = m_source.execute("SELECT " + m_columns + " FROM " + m_from);
        m_done = true;
        return true;
    }
    // The row id goes last, so that the select list keeps its positions.
    rows = m_source.execute("SELECT " + m_columns + "," + m_rowid + " FROM " + m_from +
                            (m_started ? " WHERE " + m_rowid + ">" + std::to_string(m_last) : std::string()) +
                            " ORDER BY " + m_rowid + " LIMIT " + std::to_string(m_rowsPerChunk));
    m_started = true;
    const long count = rows.recordCount();
    if (count <= 0) {
        m_done = true;
        return false;
    }
    m_done = static_cast<std::size_t>(count) < m_rowsPerChunk;
    rows.moveLast();
    m_last = rows.value(rows.fieldCount() - 1).integer();
    rows.moveFirst();
    return true;
}

} // namespace qln::ado::detail
