#include "AccessReader.h"

#include "AccessValues.h"
#include "quillon/Error.h"
#include "quillon/Variant.h"

// glib first: mdbtools.h includes it inside its own extern "C" block, which breaks glib's
// C++ templates when it is seen there first.
#include <glib.h>
#include <mdbtools.h>

#include <cstring>

namespace qln::ado::detail {

namespace {

// Room for one bound value. libmdb cuts memo texts at this size; it holds the 65,535
// characters Access lets a user type into a memo even at three UTF-8 bytes each.
constexpr std::size_t kBindSize = 256 * 1024;
// Offsets in a data page's row table carry flags above these bits.
constexpr int kRowOffsetMask = 0x1fff;

enum class ValueKind { Boolean, Byte, Int16, Int32, Money, Single, Double, Date, Decimal, Text, Memo, Binary, Object };

struct MdbCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

struct ColumnReader {
    MdbColumn* column = nullptr;
    ValueKind kind = ValueKind::Text;
    std::unique_ptr<char[]> bound;   // the text libmdb makes of the value, for bound kinds
    int boundLength = 0;
    std::string owned;               // bytes of the current value that the reader makes
    bool isNull = true;
    int start = 0;
    int size = 0;
};

// The value kind of a column and the declared SQLite type the record sets map back to the
// Access type. Texts get TEXT affinity (memo as LONGTEXT, not MEMO, whose NUMERIC affinity
// would turn "007" into 7); Jet 3 sizes count characters, later versions UCS-2 bytes.
bool describeColumn(const MdbColumn& column, bool jet3, ValueKind& kind, std::string& declared)
{
    switch (column.col_type) {
    case MDB_BOOL: kind = ValueKind::Boolean; declared = "BOOLEAN"; return true;
    case MDB_BYTE: kind = ValueKind::Byte; declared = "SMALLINT"; return true;
    case MDB_INT: kind = ValueKind::Int16; declared = "SMALLINT"; return true;
    case MDB_LONGINT:
    case MDB_COMPLEX: kind = ValueKind::Int32; declared = "INTEGER"; return true;
    case MDB_MONEY: kind = ValueKind::Money; declared = "DOUBLE"; return true;
    case MDB_NUMERIC: kind = ValueKind::Decimal; declared = "DOUBLE"; return true;
    case MDB_FLOAT: kind = ValueKind::Single; declared = "SINGLE"; return true;
    case MDB_DOUBLE: kind = ValueKind::Double; declared = "DOUBLE"; return true;
    case MDB_DATETIME: kind = ValueKind::Date; declared = "DATETIME"; return true;
    case MDB_MEMO: kind = ValueKind::Memo; declared = "LONGTEXT"; return true;
    case MDB_REPID: kind = ValueKind::Text; declared = "VARCHAR(38)"; return true;
    case MDB_BINARY: kind = ValueKind::Binary; declared = "BLOB"; return true;
    case MDB_OLE: kind = ValueKind::Object; declared = "BLOB"; return true;
    case MDB_TEXT: {
        kind = ValueKind::Text;
        const int characters = jet3 ? column.col_size : column.col_size / 2;
        declared = characters > 0 ? "VARCHAR(" + std::to_string(characters) + ")" : "VARCHAR";
        return true;
    }
    default:
        return false;
    }
}

bool isBound(ValueKind kind)
{
    return kind == ValueKind::Boolean || kind == ValueKind::Decimal || kind == ValueKind::Text ||
           kind == ValueKind::Memo || kind == ValueKind::Object;
}

std::int64_t littleEndian(const unsigned char* bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return static_cast<std::int64_t>(value);
}

} // namespace

struct AccessReader::Impl {
    std::filesystem::path file;
    std::unique_ptr<MdbHandle, MdbCloser> mdb;
    std::vector<MdbCatalogEntry*> entries;
    std::vector<std::string> names;

    std::string tableName;
    std::vector<ColumnReader> readers;                     // outlives the table bound to it
    std::unique_ptr<MdbTableDef, TableFreer> table;
    std::vector<AccessColumn> columns;
    std::vector<MdbField> fields;
    std::vector<AccessValue> row;
    unsigned rowsRead = 0;

    [[noreturn]] void fail(const std::string& what) const
    {
        throw EngineError(kProviderError, kAccessImportSource, what);
    }
    [[noreturn]] void failTable(const std::string& what) const { fail("table '" + tableName + "' " + what); }
    [[noreturn]] void failColumn(const ColumnReader& reader, const std::string& what) const
    {
        fail("column '" + std::string(reader.column->name) + "' of table '" + tableName + "' " + what);
    }

    // The value's bytes on the current page, after checking they lie inside it.
    const unsigned char* pageBytes(const ColumnReader& reader, int count) const
    {
        if (reader.start < 0 || reader.size < count || reader.start + count > mdb->fmt->pg_size)
            failColumn(reader, "holds a damaged value");
        return mdb->pg_buf + reader.start;
    }

    // Whether every row the table's definition counts can be read.
    bool readsWhole(MdbCatalogEntry* entry) const
    {
        const std::unique_ptr<MdbTableDef, TableFreer> definition(mdb_read_table(entry));
        if (!definition || !mdb_read_columns(definition.get()))
            return false;
        mdb_rewind_table(definition.get());
        unsigned rows = 0;
        while (mdb_fetch_row(definition.get()))
            ++rows;
        return rows >= definition->num_rows;
    }

    void readText(ColumnReader& reader, AccessValue& value) const;
    void readMemo(ColumnReader& reader, AccessValue& value);
    void readObject(ColumnReader& reader, AccessValue& value);
    void readValue(ColumnReader& reader, AccessValue& value);
};

AccessReader::AccessReader(const std::filesystem::path& file) : m_impl(std::make_unique<Impl>())
{
    Impl& d = *m_impl;
    d.file = file;
    d.mdb.reset(mdb_open(file.c_str(), MDB_NOFLAGS));
    if (!d.mdb)
        d.fail("libmdb cannot open it; it may be encrypted");
    mdb_set_bind_size(d.mdb.get(), kBindSize);
    mdb_set_boolean_fmt_numbers(d.mdb.get());
    // libmdb reads past the end of a cut-off file without complaint; whole pages, a whole
    // catalogue and whole tables (nextRow) are what is left to check.
    std::error_code error;
    const auto fileSize = std::filesystem::file_size(file, error);
    if (error || d.mdb->fmt->pg_size <= 0 || fileSize % static_cast<std::uintmax_t>(d.mdb->fmt->pg_size) != 0)
        d.fail("it is cut off: its size is no whole number of pages");
    if (!mdb_read_catalog(d.mdb.get(), MDB_TABLE))
        d.fail("its list of tables cannot be read");
    MdbCatalogEntry* objects = nullptr;
    for (unsigned i = 0; i < d.mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(d.mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) {
            d.entries.push_back(entry);
            d.names.emplace_back(entry->object_name);
        } else if (entry->object_type == MDB_TABLE && std::strcmp(entry->object_name, "MSysObjects") == 0) {
            objects = entry;
        }
    }
    if (!objects || !d.readsWhole(objects))
        d.fail("its list of tables cannot be read");
}

AccessReader::~AccessReader() = default;

const std::vector<std::string>& AccessReader::tableNames() const
{
    return m_impl->names;
}

void AccessReader::openTable(std::size_t index)
{
    Impl& d = *m_impl;
    d.table.reset();
    d.readers.clear();
    d.columns.clear();
    d.tableName = d.names.at(index);
    d.rowsRead = 0;
    d.table.reset(mdb_read_table(d.entries.at(index)));
    if (!d.table)
        d.failTable("cannot be read");
    if (!mdb_read_columns(d.table.get()) || d.table->num_cols == 0)
        d.failTable("has no readable columns");

    const bool jet3 = d.mdb->f->jet_version == MDB_VER_JET3;
    const unsigned count = d.table->num_cols;
    d.readers.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        ColumnReader& reader = d.readers[i];
        reader.column = static_cast<MdbColumn*>(g_ptr_array_index(d.table->columns, i));
        AccessColumn column{reader.column->name, {}};
        if (!describeColumn(*reader.column, jet3, reader.kind, column.declaredType))
            d.failColumn(reader, "has a data type the import does not know (" +
                                     std::to_string(reader.column->col_type) + ")");
        if (isBound(reader.kind)) {
            reader.bound = std::make_unique<char[]>(kBindSize);
            mdb_bind_column(d.table.get(), static_cast<int>(i) + 1, reader.bound.get(), &reader.boundLength);
        }
        d.columns.push_back(std::move(column));
    }
    d.fields.assign(count, MdbField{});
    d.row.assign(count, AccessValue{});
    mdb_rewind_table(d.table.get());
}

const std::vector<AccessColumn>& AccessReader::columns() const
{
    return m_impl->columns;
}

bool AccessReader::nextRow()
{
    Impl& d = *m_impl;
    if (!d.table)
        return false;
    MdbTableDef* table = d.table.get();
    if (!mdb_fetch_row(table)) {
        // libmdb ends a table silently where pages are missing; the table definition's
        // row count tells a cut-off file from a whole one.
        if (d.rowsRead < table->num_rows)
            d.failTable("ends after " + std::to_string(d.rowsRead) + " of its " +
                        std::to_string(table->num_rows) + " rows");
        return false;
    }
    ++d.rowsRead;

    // The bound texts cannot tell Null from an empty text; the row's null mask can. libmdb
    // has just read row cur_row - 1 of the page it keeps in pg_buf.
    int start = 0;
    size_t size = 0;
    if (table->cur_row == 0 || mdb_find_row(d.mdb.get(), static_cast<int>(table->cur_row) - 1, &start, &size) != 0)
        d.failTable("holds a damaged row");
    start &= kRowOffsetMask;
    if (mdb_crack_row(table, start, size, d.fields.data()) < 0)
        d.failTable("holds a damaged row");
    for (const MdbField& field : d.fields) {
        if (field.colnum < 0 || static_cast<std::size_t>(field.colnum) >= d.readers.size())
            d.failTable("holds a damaged row");
        ColumnReader& reader = d.readers[static_cast<std::size_t>(field.colnum)];
        reader.isNull = field.is_null != 0;
        reader.start = field.start;
        reader.size = field.siz;
    }
    for (std::size_t i = 0; i < d.readers.size(); ++i)
        d.readValue(d.readers[i], d.row[i]);
    return true;
}

const std::vector<AccessValue>& AccessReader::row() const
{
    return m_impl->row;
}

void AccessReader::Impl::readValue(ColumnReader& reader, AccessValue& value)
{
    value = AccessValue{};
    // A Yes/No value lives in the null mask itself and is never Null.
    if (reader.kind == ValueKind::Boolean) {
        value.kind = AccessValue::Kind::Integer;
        value.integer = std::strcmp(reader.bound.get(), mdb->boolean_true_value) == 0 ? 1 : 0;
        return;
    }
    if (reader.isNull)
        return;
    switch (reader.kind) {
    case ValueKind::Byte:
        value.kind = AccessValue::Kind::Integer;
        value.integer = *pageBytes(reader, 1);
        return;
    case ValueKind::Int16:
        value.kind = AccessValue::Kind::Integer;
        value.integer = static_cast<std::int16_t>(littleEndian(pageBytes(reader, 2), 2));
        return;
    case ValueKind::Int32:
        value.kind = AccessValue::Kind::Integer;
        value.integer = static_cast<std::int32_t>(littleEndian(pageBytes(reader, 4), 4));
        return;
    case ValueKind::Money:
        // Currency is a 64-bit count of ten-thousandths.
        value.kind = AccessValue::Kind::Real;
        value.real = static_cast<double>(littleEndian(pageBytes(reader, 8), 8)) / 10000.0;
        return;
    case ValueKind::Single:
        value.kind = AccessValue::Kind::Real;
        value.real = singleToDouble(mdb_get_single(const_cast<unsigned char*>(pageBytes(reader, 4)), 0));
        return;
    case ValueKind::Double:
        value.kind = AccessValue::Kind::Real;
        value.real = mdb_get_double(const_cast<unsigned char*>(pageBytes(reader, 8)), 0);
        return;
    case ValueKind::Date: {
        // Read from the stored day number: libmdb's own formatting fails before 1900 and
        // after 2700.
        const auto text = accessDateText(mdb_get_double(const_cast<unsigned char*>(pageBytes(reader, 8)), 0));
        if (!text)
            failColumn(reader, "holds a date outside the years 100 to 9999");
        reader.owned = *text;
        value.kind = AccessValue::Kind::Text;
        value.bytes = reader.owned;
        return;
    }
    case ValueKind::Decimal: {
        const auto number = decimalValue(std::string_view(reader.bound.get(), static_cast<std::size_t>(reader.boundLength)));
        if (!number)
            failColumn(reader, "holds a damaged decimal value");
        value.kind = AccessValue::Kind::Real;
        value.real = *number;
        return;
    }
    case ValueKind::Memo:
        readMemo(reader, value);
        return;
    case ValueKind::Text:
        readText(reader, value);
        return;
    case ValueKind::Binary:
        reader.owned.assign(reinterpret_cast<const char*>(pageBytes(reader, reader.size)),
                            static_cast<std::size_t>(reader.size));
        value.kind = AccessValue::Kind::Blob;
        value.bytes = reader.owned;
        return;
    case ValueKind::Object:
        readObject(reader, value);
        return;
    case ValueKind::Boolean:
        break;
    }
}

void AccessReader::Impl::readText(ColumnReader& reader, AccessValue& value) const
{
    if (reader.boundLength < 0 || static_cast<std::size_t>(reader.boundLength) >= kBindSize - 1)
        failColumn(reader, "holds a text longer than " + std::to_string(kBindSize - 2) + " bytes");
    value.kind = AccessValue::Kind::Text;
    value.bytes = std::string_view(reader.bound.get(), static_cast<std::size_t>(reader.boundLength));
}

void AccessReader::Impl::readMemo(ColumnReader& reader, AccessValue& value)
{
    readText(reader, value);
    // libmdb gives an empty text where a memo's pages are missing; the memo's header still
    // holds its stored length (two bytes are the mark of compressed text).
    if (value.bytes.empty() && reader.size >= MDB_MEMO_OVERHEAD &&
        (mdb_get_int32(const_cast<unsigned char*>(pageBytes(reader, MDB_MEMO_OVERHEAD)), 0) & 0x3fffffff) > 2)
        failColumn(reader, "holds a memo whose pages are missing");
}

void AccessReader::Impl::readObject(ColumnReader& reader, AccessValue& value)
{
    value.kind = AccessValue::Kind::Blob;
    reader.owned.clear();
    if (reader.size < MDB_MEMO_OVERHEAD) {
        value.bytes = reader.owned;
        return;
    }
    // libmdb writes each piece of the object into the bound buffer; the header names the
    // object's length, which also stops a damaged chain of pages from looping forever.
    unsigned char header[MDB_MEMO_OVERHEAD];
    std::memcpy(header, pageBytes(reader, MDB_MEMO_OVERHEAD), sizeof header);
    const auto declared = static_cast<std::size_t>(mdb_get_int32(header, 0) & 0x3fffffff);
    std::size_t length = mdb_ole_read(mdb.get(), reader.column, header, kBindSize);
    while (length > 0) {
        if (length > kBindSize || reader.owned.size() + length > declared)
            failColumn(reader, "holds a damaged object");
        reader.owned.append(reader.bound.get(), length);
        length = mdb_ole_read_next(mdb.get(), reader.column, header);
    }
    if (reader.owned.size() != declared)
        failColumn(reader, "holds an object whose pages are missing");
    value.bytes = reader.owned;
}

} // namespace qln::ado::detail
