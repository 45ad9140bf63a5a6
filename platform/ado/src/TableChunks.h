#pragma once

#include "quillon/ado/Connection.h"
#include "quillon/ado/Recordset.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qln::ado::detail {

// The rows of one table of an SQLite source, read a bounded number at a time in stored
// order (as a plain SELECT gives them), so that no more than one chunk is held at once.
// Tables without a reachable row id (views, WITHOUT ROWID tables, or every one of the
// row id's names taken by a column) come in one piece.
class TableChunks {
public:
    // `columns` is the select list, without SELECT; `table` is quoted here.
    TableChunks(Connection& source, const std::string& table, std::string columns, std::size_t rowsPerChunk);

    // The next rows, their columns those of the select list; false at the end.
    bool next(Recordset& rows);

private:
    Connection& m_source;
    std::string m_from;
    std::string m_columns;
    std::string m_rowid;  // the name the row id answers to; empty when there is none
    std::size_t m_rowsPerChunk;
    std::int64_t m_last = 0;
    bool m_started = false;
    bool m_done = false;
};

} // namespace qln::ado::detail
