#include "quillon/ado/Recordset.h"

#include "Database.h"
#include "Filter.h"
#include "Shape.h"
#include "ShapeProvider.h"
#include "Table.h"
#include "quillon/Error.h"
#include "quillon/ado/Connection.h"

#include <algorithm>

namespace qln::ado {
namespace {

constexpr const char* kSource = "Recordset";

[[noreturn]] void raise(std::int64_t number, std::string description)
{
    throw EngineError(number, kSource, std::move(description));
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Field names match without regard to (ASCII) case; looked up for every value read.
bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return x == y || asciiLower(x) == asciiLower(y); });
}

} // namespace

// A cursor over shared rows: the rows it may show (all, or a chapter's), the visible
// subset after filter and sort, and the current position in it.
struct Recordset::Cursor {
    std::shared_ptr<detail::Table> table;
    std::shared_ptr<const detail::RowSpan> base;  // null: every row of the table
    bool hasView = false;                         // view holds the visible rows
    std::vector<std::uint32_t> view;
    std::string filterText;
    std::string sortText;
    long position = 0;  // 0-based; -1 is BOF, size() is EOF
    bool open = false;
    bool readOnly = false;  // opened with adLockReadOnly: no value may change

    std::size_t size() const
    {
        if (hasView)
            return view.size();
        return base ? base->size : table->rowCount();
    }
    std::uint32_t rowAt(std::size_t i) const
    {
        if (hasView)
            return view[i];
        return base ? base->rows[i] : static_cast<std::uint32_t>(i);
    }
    std::uint32_t currentRow() const { return rowAt(static_cast<std::size_t>(position)); }
};

Recordset::Recordset() : m_cursor(std::make_unique<Cursor>())
{
    m_cursor->table = std::make_shared<detail::Table>();
}

Recordset::Recordset(std::shared_ptr<detail::Table> table) : Recordset(std::move(table), nullptr) {}

Recordset::Recordset(std::shared_ptr<detail::Table> table, std::shared_ptr<const detail::RowSpan> base)
    : m_cursor(std::make_unique<Cursor>())
{
    m_cursor->table = std::move(table);
    m_cursor->base = std::move(base);
    m_cursor->open = true;
}

Recordset::~Recordset() = default;
// A moved-from record set has no cursor and reads as a closed, empty one (cur()).
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

// A copy of a moved-from record set gets rows of its own: sharing the closed cursor's
// table would let it change what every moved-from record set reads.
Recordset::Recordset(const Recordset& other)
    : m_cursor(other.m_cursor ? std::make_unique<Cursor>(*other.m_cursor) : std::make_unique<Cursor>())
{
    if (!other.m_cursor)
        m_cursor->table = std::make_shared<detail::Table>();
}

Recordset& Recordset::operator=(const Recordset& other)
{
    if (this != &other)
        *this = Recordset(other);
    return *this;
}

// What a moved-from record set reads: closed, no fields, no rows.
const Recordset::Cursor& Recordset::closedCursor()
{
    static const Cursor closed = [] {
        Cursor cursor;
        cursor.table = std::make_shared<detail::Table>();
        return cursor;
    }();
    return closed;
}

inline const Recordset::Cursor& Recordset::cur() const
{
    return m_cursor ? *m_cursor : closedCursor();
}

Recordset::Cursor& Recordset::cur()
{
    if (!m_cursor) [[unlikely]] {
        m_cursor = std::make_unique<Cursor>();
        m_cursor->table = std::make_shared<detail::Table>();
    }
    return *m_cursor;
}

void Recordset::requireUpdatable() const
{
    if (cur().readOnly)
        raise(adErrFeatureNotAvailable, "Current Recordset does not support updating: it was opened read-only.");
    if (const auto& database = cur().table->database)
        database->requireWritable(cur().table->sourceTable);
}

void Recordset::appendField(std::string name, int type, long definedSize, long attributes)
{
    if (cur().open)
        raise(adErrObjectOpen, "Cannot append field " + name + " to an open record set");
    if (fieldIndex(name) >= 0)
        raise(adErrInvalidArgument, "The record set already has a field named " + name);
    cur().table->addField(FieldInfo{std::move(name), type, definedSize, attributes});
    cur().table->sourceColumns.emplace_back();
}

void Recordset::open()
{
    if (cur().open)
        raise(adErrObjectOpen, "The record set is already open");
    cur().open = true;
    cur().position = 0;
}

void Recordset::open(std::string_view source, Connection& connection, int /*cursorType*/, int lockType)
{
    if (cur().open)
        raise(adErrObjectOpen, "The record set is already open");
    auto database = connection.database();
    std::shared_ptr<detail::Table> table;
    if (connection.isShapeProvider() && detail::isShapeCommand(source))
        table = detail::runShapeCommand(*database, source);
    else
        table = database->query(source);
    if (!table)
        return;  // the statement returned no rows: the record set stays closed
    cur() = Cursor{};
    cur().table = std::move(table);
    cur().open = true;
    cur().readOnly = lockType == adLockReadOnly;
}

bool Recordset::isOpen() const
{
    return cur().open;
}

void Recordset::close()
{
    cur() = Cursor{};
    cur().table = std::make_shared<detail::Table>();
}

void Recordset::requireOpen() const
{
    if (!cur().open)
        raise(adErrObjectClosed, "Operation is not allowed when the object is closed.");
}

void Recordset::requireCurrent() const
{
    requireOpen();
    if (bof() || eof())
        raise(adErrNoCurrentRecord, "Either BOF or EOF is True, or the current record has been deleted. "
                                    "Requested operation requires a current record.");
}

bool Recordset::bof() const
{
    return cur().position < 0 || cur().size() == 0;
}

bool Recordset::eof() const
{
    return cur().position >= static_cast<long>(cur().size());
}

void Recordset::moveFirst()
{
    requireOpen();
    cur().position = 0;
}

void Recordset::moveNext()
{
    requireOpen();
    if (eof())
        raise(adErrNoCurrentRecord, "Cannot move past the end of the record set.");
    ++cur().position;
}

void Recordset::movePrevious()
{
    requireOpen();
    if (cur().position < 0)
        raise(adErrNoCurrentRecord, "Cannot move before the start of the record set.");
    --cur().position;
}

void Recordset::moveLast()
{
    requireOpen();
    cur().position = static_cast<long>(cur().size()) - 1;
    if (cur().size() == 0)
        cur().position = 0;
}

long Recordset::recordCount() const
{
    return cur().open ? static_cast<long>(cur().size()) : -1;
}

long Recordset::absolutePosition() const
{
    if (bof())
        return cur().size() == 0 ? -3 : -2;
    if (eof())
        return -3;
    return cur().position + 1;
}

void Recordset::setAbsolutePosition(long position)
{
    requireOpen();
    if (position < 1 || position > static_cast<long>(cur().size()))
        raise(adErrInvalidArgument, "Position " + std::to_string(position) + " is outside the record set.");
    cur().position = position - 1;
}

int Recordset::fieldCount() const
{
    return static_cast<int>(cur().table->fields.size());
}

const FieldInfo& Recordset::field(int index) const
{
    const auto& fields = cur().table->fields;
    if (index < 0 || static_cast<std::size_t>(index) >= fields.size())
        raise(adErrItemNotFound, "Item cannot be found in the collection corresponding to the requested name or "
                                 "ordinal: " + std::to_string(index));
    return fields[static_cast<std::size_t>(index)];
}

int Recordset::fieldIndex(std::string_view name) const
{
    const auto& fields = cur().table->fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (sameName(fields[i].name, name))
            return static_cast<int>(i);
    }
    return -1;
}

namespace {

int requireField(const Recordset& rs, std::string_view name)
{
    const int index = rs.fieldIndex(name);
    if (index < 0)
        raise(adErrItemNotFound, "Item cannot be found in the collection corresponding to the requested name or "
                                 "ordinal: " + std::string(name));
    return index;
}

} // namespace

const Variant& Recordset::value(int index) const
{
    // The hottest call of a run: the checks of field() and requireCurrent() inline.
    const Cursor& cursor = cur();
    const auto& columns = cursor.table->columns;
    if (index < 0 || static_cast<std::size_t>(index) >= columns.size() || !cursor.open || cursor.position < 0 ||
        cursor.position >= static_cast<long>(cursor.size())) {
        field(index);
        requireCurrent();
    }
    return columns[static_cast<std::size_t>(index)][cursor.currentRow()];
}

const Variant& Recordset::value(std::string_view name) const
{
    return value(requireField(*this, name));
}

void Recordset::setValue(int index, Variant value)
{
    if (field(index).type == adChapter)
        raise(adErrInvalidArgument, "A chapter field cannot be set: " + field(index).name);
    requireCurrent();
    requireUpdatable();
    cur().table->setCell(index, cur().currentRow(), std::move(value));
}

void Recordset::setValue(std::string_view name, Variant value)
{
    setValue(requireField(*this, name), std::move(value));
}

bool Recordset::isChapter(int index) const
{
    return field(index).type == adChapter;
}

Recordset Recordset::chapter(int index) const
{
    if (!isChapter(index))
        raise(adErrInvalidArgument, "Field " + field(index).name + " is not a chapter.");
    requireOpen();
    const auto& column = cur().table->chapters[static_cast<std::size_t>(index)];
    auto span = std::make_shared<detail::RowSpan>();
    span->owner = column;
    const std::uint32_t group =
        bof() || eof() ? detail::ChapterColumn::kNoGroup : column->parentGroup[cur().currentRow()];
    if (group != detail::ChapterColumn::kNoGroup) {
        span->rows = column->rows.data() + column->offsets[group];
        span->size = column->offsets[group + 1] - column->offsets[group];
    }
    Recordset rows(column->child, std::move(span));
    rows.cur().readOnly = cur().readOnly;
    return rows;
}

Recordset Recordset::chapter(std::string_view name) const
{
    return chapter(requireField(*this, name));
}

void Recordset::addNew()
{
    requireOpen();
    requireUpdatable();
    Cursor& cursor = cur();
    if (!cursor.hasView && cursor.base) {
        cursor.view.assign(cursor.base->rows, cursor.base->rows + cursor.base->size);
        cursor.hasView = true;
    }
    const std::uint32_t row = cursor.table->appendRow();
    if (cursor.hasView)
        cursor.view.push_back(row);
    cursor.position = static_cast<long>(cursor.size()) - 1;
}

void Recordset::update()
{
    requireCurrent();
    detail::Table& table = *cur().table;
    if (table.database)
        table.database->writeRow(table, cur().currentRow());
}

void Recordset::rebuildView()
{
    Cursor& cursor = cur();
    detail::Table& table = *cursor.table;
    cursor.hasView = false;
    cursor.view.clear();
    if (!cursor.filterText.empty()) {
        const auto expression = detail::FilterExpression::parse(cursor.filterText, table.fields);
        const auto equality = expression.singleEquality();
        if (equality && !cursor.base && !equality->value.isEmpty()) {
            if (const auto* rows = table.candidates(equality->field, equality->value)) {
                for (const std::uint32_t row : *rows) {
                    if (expression.matches(table, row))
                        cursor.view.push_back(row);
                }
            }
        } else if (!expression.matchesAll()) {
            const std::size_t size = cursor.size();
            for (std::size_t i = 0; i < size; ++i) {
                if (expression.matches(table, cursor.rowAt(i)))
                    cursor.view.push_back(cursor.rowAt(i));
            }
        } else {
            cursor.view.resize(cursor.size());
            for (std::size_t i = 0; i < cursor.view.size(); ++i)
                cursor.view[i] = cursor.rowAt(i);
        }
        cursor.hasView = true;
    }
    if (!cursor.sortText.empty()) {
        const auto keys = detail::parseSort(cursor.sortText, table.fields);
        if (!cursor.hasView) {
            cursor.view.resize(cursor.size());
            for (std::size_t i = 0; i < cursor.view.size(); ++i)
                cursor.view[i] = cursor.rowAt(i);
            cursor.hasView = true;
        }
        std::stable_sort(cursor.view.begin(), cursor.view.end(), [&](std::uint32_t a, std::uint32_t b) {
            return detail::sortLess(table, keys, a, b);
        });
    }
    cursor.position = 0;
}

void Recordset::setFilter(std::string_view text)
{
    requireOpen();
    const std::string previous = cur().filterText;
    cur().filterText = std::string(text);
    try {
        rebuildView();
    } catch (...) {
        cur().filterText = previous;
        rebuildView();
        throw;
    }
}

const std::string& Recordset::filter() const
{
    return cur().filterText;
}

void Recordset::setSort(std::string_view text)
{
    requireOpen();
    const std::string previous = cur().sortText;
    cur().sortText = std::string(text);
    try {
        rebuildView();
    } catch (...) {
        cur().sortText = previous;
        rebuildView();
        throw;
    }
}

const std::string& Recordset::sort() const
{
    return cur().sortText;
}

bool Recordset::find(std::string_view criterion, long skipRecords)
{
    requireOpen();
    detail::Table& table = *cur().table;
    const auto expression = detail::FilterExpression::parse(criterion, table.fields);
    Cursor& cursor = cur();
    const long size = static_cast<long>(cursor.size());
    for (long i = std::max(0L, cursor.position + skipRecords); i < size; ++i) {
        if (expression.matches(table, cursor.rowAt(static_cast<std::size_t>(i)))) {
            cursor.position = i;
            return true;
        }
    }
    cursor.position = size;
    return false;
}

Recordset Recordset::clone(bool keepFilterAndPosition) const
{
    requireOpen();
    Recordset copy(cur().table, cur().base);
    if (keepFilterAndPosition)
        copy.cur() = cur();
    copy.cur().readOnly = cur().readOnly;
    return copy;
}

void Recordset::disconnect()
{
    cur().table->database.reset();
}

bool Recordset::isConnected() const
{
    return cur().table->database != nullptr;
}

} // namespace qln::ado
