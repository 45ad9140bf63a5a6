#pragma once

#include "quillon/Variant.h"
#include "quillon/ado/Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qln::ado {

class Connection;

namespace detail {
struct Table;
struct RowSpan;
} // namespace detail

// A table of named, typed fields with a current row. Rows are shared: clones and chapters
// are cheap cursors over the same storage, each with its own position, filter and sort.
// A default-constructed record set is closed; build one in memory with appendField() and
// open(), or open it on a query with open(source, connection). A moved-from record set is
// a closed, empty one. One opened with adLockReadOnly, or bound to a table of a read-only
// connection, refuses every change (adErrFeatureNotAvailable) and stays as it was.
class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&);
    Recordset& operator=(const Recordset&);
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    // Adds a field to a closed, in-memory record set.
    void appendField(std::string name, int type, long definedSize = 0, long attributes = 0);
    // Opens an in-memory record set with the appended fields and no rows.
    void open();
    // Runs the query on the connection and keeps its rows (a SHAPE command on a shaping
    // connection gives chapters). A query on one table writes updates back to it.
    void open(std::string_view source, Connection& connection, int cursorType = adOpenStatic,
              int lockType = adLockOptimistic);
    bool isOpen() const;
    // Closes this cursor; clones keep the rows.
    void close();

    bool bof() const;
    bool eof() const;
    void moveFirst();
    void moveNext();
    void movePrevious();
    void moveLast();
    // Rows visible through the filter.
    long recordCount() const;
    // 1-based position of the current row; -2 at BOF, -3 at EOF.
    long absolutePosition() const;
    void setAbsolutePosition(long position);

    int fieldCount() const;
    const FieldInfo& field(int index) const;
    // Index of the field with that name (any letter case), or -1.
    int fieldIndex(std::string_view name) const;
    // The current row's value; errors at BOF/EOF and for an unknown name.
    const Variant& value(int index) const;
    const Variant& value(std::string_view name) const;
    // Sets a field of the current row; update() writes the row back.
    void setValue(int index, Variant value);
    void setValue(std::string_view name, Variant value);

    bool isChapter(int index) const;
    // The child rows of the current row under a chapter field, as a record set of its own;
    // without a current row, an empty record set that still has the child's fields.
    Recordset chapter(int index) const;
    Recordset chapter(std::string_view name) const;

    // Appends a row (every field Null) and makes it current.
    void addNew();
    // Ends the edit of the current row, writing it to the source table when bound to one.
    void update();

    // ADO filter text ("mukey='12'", "a<>Null AND (b>1 OR c LIKE 'x*')"); "" shows all rows.
    // Moves to the first visible row.
    void setFilter(std::string_view text);
    const std::string& filter() const;
    // "field [ASC|DESC], ..."; "" restores the natural order.
    void setSort(std::string_view text);
    const std::string& sort() const;
    // Moves forward from the current row (after skipping skipRecords) to the first row
    // meeting one criterion ("field op value"); EOF when none.
    bool find(std::string_view criterion, long skipRecords = 0);

    // A record set over the same rows. The clone starts at its first row with no filter,
    // or, when asked, with this one's filter, sort and position.
    Recordset clone(bool keepFilterAndPosition = false) const;
    // Releases the connection: later updates stay in memory.
    void disconnect();
    bool isConnected() const;

private:
    struct Cursor;
    std::unique_ptr<Cursor> m_cursor;

    friend class Connection;
    friend struct detail::Table;
    explicit Recordset(std::shared_ptr<detail::Table> table);
    Recordset(std::shared_ptr<detail::Table> table, std::shared_ptr<const detail::RowSpan> base);
    const Cursor& cur() const;
    Cursor& cur();
    static const Cursor& closedCursor();
    void requireOpen() const;
    void requireCurrent() const;
    void requireUpdatable() const;
    void rebuildView();
};

} // namespace qln::ado
