#include "DownloadImport.h"
#include "PolygonLayers.h"

#include "SurveyKeys.h"
#include "SurveyLayout.h"
#include "quillon/AtomicFile.h"
#include "quillon/SqlText.h"
#include "quillon/ado/CodePage.h"
#include "quillon/landsort/LandUnitSort.h"
#include "quillon/Text.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>

namespace qln::download {
namespace fs = std::filesystem;
using ado::detail::columnText;
using ado::detail::createIndexes;
using ado::detail::IndexPlan;
using ado::detail::IndexSet;
using ado::detail::LoadColumn;
using ado::detail::LoadValue;
using ado::detail::OnRepeatedKey;
using ado::detail::Statement;
using ado::detail::TableWriter;

namespace {

constexpr const char* kSortTable = "SYSTEM - Mapunit Sort Specifications";


Statement prepare(sqlite3* db, const std::string& sql)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot run \"" + sql + "\": " + sqlite3_errmsg(db));
    return Statement(raw);
}

bool sameValue(sqlite3_stmt* stmt, int column, const LoadValue& value)
{
    const int type = sqlite3_column_type(stmt, column);
    switch (value.kind) {
    case LoadValue::Kind::Null: return type == SQLITE_NULL;
    case LoadValue::Kind::Integer: return type == SQLITE_INTEGER && sqlite3_column_int64(stmt, column) == value.integer;
    case LoadValue::Kind::Real:
        return (type == SQLITE_FLOAT || type == SQLITE_INTEGER) && sqlite3_column_double(stmt, column) == value.real;
    case LoadValue::Kind::Text:
    case LoadValue::Kind::Blob: return type != SQLITE_NULL && columnText(stmt, column) == value.bytes;
    }
    return false;
}

std::string valueText(const LoadValue& value)
{
    switch (value.kind) {
    case LoadValue::Kind::Null: return "Null";
    case LoadValue::Kind::Integer: return std::to_string(value.integer);
    case LoadValue::Kind::Real: return std::to_string(value.real);
    default: return "'" + std::string(value.bytes) + "'";
    }
}

// Loads the surveys' tables through one writer, keeping for each table which survey gave
// which rows, so that a key met twice names both surveys.
class Loader {
public:
    Loader(TableWriter& writer, const std::vector<std::unique_ptr<DownloadFiles>>& surveys,
           const ImportReport& report)
        : m_writer(writer), m_surveys(surveys), m_report(report)
    {
    }

    void setPlans(std::vector<IndexPlan> plans) { m_plans = std::move(plans); }

    void load(std::size_t survey, const TableLayout& table)
    {
        const DownloadFiles& files = *m_surveys[survey];
        const std::string file = table.file + ".txt";
        auto text = files.tabular(file);
        if (!text) {
            note(files.name() + ": no " + file + "; table " + table.name + " has no rows from this survey");
            m_owners[table.name].push_back({lastRow(table.name), survey});
            return;
        }
        m_writer.chooseTable(table.name, table.columns.size());
        PipeRecords records(*text, files.describe(file));
        std::vector<PipeField> fields;
        std::vector<LoadValue> values(table.columns.size());
        std::vector<std::string> storage(table.columns.size());
        std::int64_t stored = 0;
        while (records.next(fields)) {
            const auto where = [&] { return records.name() + ", line " + std::to_string(records.line()); };
            if (fields.size() != table.columns.size())
                throw DownloadError(where() + ": " + std::to_string(fields.size()) + " fields where table " +
                                    table.name + " has " + std::to_string(table.columns.size()) + " columns");
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const ColumnLayout& column = table.columns[i];
                if (column.type.meaning == Meaning::Text && !isUtf8(fields[i].text)) {
                    fields[i].text = m_decoder.decode(fields[i].text);
                    note(where() + ", field " + column.name +
                         ": bytes that are not UTF-8, read as Windows-1252 and kept");
                }
                try {
                    values[i] = fieldValue(fields[i], column.type.meaning, storage[i]);
                } catch (const DownloadError& error) {
                    throw DownloadError(where() + ", field " + column.name + ": " + error.what());
                }
            }
            if (m_writer.insert(values))
                ++stored;
            else
                repeated(survey, table, values, where());
        }
        m_owners[table.name].push_back({lastRow(table.name), survey});
        if (m_report.loaded)
            m_report.loaded(files.name(), table.name, stored);
    }

private:
    struct Owner {
        std::int64_t lastRow;
        std::size_t survey;
    };

    void note(const std::string& text) const
    {
        if (m_report.note)
            m_report.note(text);
    }

    std::int64_t lastRow(const std::string& table) const
    {
        Statement stmt = prepare(m_writer.handle(), "SELECT max(rowid) FROM " + quoteIdentifier(table));
        return sqlite3_step(stmt.get()) == SQLITE_ROW ? sqlite3_column_int64(stmt.get(), 0) : 0;
    }

    // A row whose primary key is already stored: the same row again (metadata, or a row two
    // surveys share) is kept once; a different one is an error naming both surveys.
    void repeated(std::size_t survey, const TableLayout& table, const std::vector<LoadValue>& values,
                  const std::string& where)
    {
        KeyLookup& lookup = keyLookup(table, where);
        sqlite3_stmt* stmt = lookup.stmt.get();
        sqlite3_reset(stmt);
        std::string key;
        for (std::size_t k = 0; k < lookup.columns.size(); ++k) {
            const std::size_t column = lookup.columns[k];
            ado::detail::bindLoadValue(stmt, static_cast<int>(k) + 1, values[column]);
            key += (key.empty() ? "" : ", ") + table.columns[column].name + " " + valueText(values[column]);
        }
        if (sqlite3_step(stmt) != SQLITE_ROW)
            throw DownloadError(where + ": the row repeats a unique key of table " + table.name);
        bool same = true;
        for (std::size_t i = 0; i < values.size() && same; ++i)
            same = sameValue(stmt, static_cast<int>(i) + 1, values[i]);
        if (same)
            return;
        const std::int64_t row = sqlite3_column_int64(stmt, 0);
        std::size_t first = survey;
        const auto owners = m_owners.find(table.name);
        if (owners != m_owners.end())
            for (const Owner& owner : owners->second)
                if (row <= owner.lastRow) {
                    first = owner.survey;
                    break;
                }
        throw DownloadError(where + ": table " + table.name + " already holds another row with the key " + key +
                            ", from " + m_surveys[first]->name() + "; the surveys " + m_surveys[first]->name() +
                            " and " + m_surveys[survey]->name() + " disagree, nothing was written");
    }

    // The stored row of a table's primary key.
    struct KeyLookup {
        Statement stmt;
        std::vector<std::size_t> columns;  // positions of the key columns in the row
    };

    KeyLookup& keyLookup(const TableLayout& table, const std::string& where)
    {
        if (const auto found = m_lookups.find(table.name); found != m_lookups.end())
            return found->second;
        const auto plan = std::find_if(m_plans.begin(), m_plans.end(), [&](const IndexPlan& p) {
            return p.primary && lowerAscii(p.table) == lowerAscii(table.name);
        });
        if (plan == m_plans.end())
            throw DownloadError(where + ": the row repeats a unique key of table " + table.name);
        KeyLookup lookup;
        std::string condition;
        for (const auto& column : plan->columns) {
            for (std::size_t i = 0; i < table.columns.size(); ++i)
                if (lowerAscii(table.columns[i].name) == lowerAscii(column))
                    lookup.columns.push_back(i);
            condition += (condition.empty() ? "" : " AND ") + quoteIdentifier(column) + " IS ?";
        }
        lookup.stmt = prepare(m_writer.handle(),
                              "SELECT rowid, * FROM " + quoteIdentifier(table.name) + " WHERE " + condition);
        return m_lookups.emplace(table.name, std::move(lookup)).first->second;
    }

    TableWriter& m_writer;
    std::map<std::string, KeyLookup> m_lookups;
    const std::vector<std::unique_ptr<DownloadFiles>>& m_surveys;
    const ImportReport& m_report;
    std::vector<IndexPlan> m_plans;
    std::map<std::string, std::vector<Owner>> m_owners;
    ado::TextDecoder m_decoder{nullptr};
};

const TableLayout* findTable(const std::vector<TableLayout>& layout, const std::string& name)
{
    for (const auto& table : layout)
        if (lowerAscii(table.name) == lowerAscii(name))
            return &table;
    return nullptr;
}

std::string declaredType(const TableLayout& table, const std::string& column)
{
    for (const auto& c : table.columns)
        if (lowerAscii(c.name) == lowerAscii(column))
            return c.type.declared;
    return "VARCHAR";
}

// Survey areas in the order of their symbols, map units of each in the order of their
// symbols as people read them (1, 2, 10, 10A), by the land unit sort.
void writeSortTable(TableWriter& writer, const std::vector<TableLayout>& layout, const ImportReport& report)
{
    const TableLayout* legend = findTable(layout, "legend");
    const TableLayout* mapunit = findTable(layout, "mapunit");
    if (!legend || !mapunit) {
        if (report.note)
            report.note("the layout has no legend or mapunit table: no map-unit sort table was made");
        return;
    }
    sqlite3* db = writer.handle();
    std::vector<std::string> legends;
    for (Statement areas = prepare(db, "SELECT lkey FROM " + quoteIdentifier(legend->name) +
                                           " ORDER BY areasymbol, lkey");
         sqlite3_step(areas.get()) == SQLITE_ROW;)
        legends.push_back(columnText(areas.get(), 0));
    writer.createTable(kSortTable, {{"lkey", declaredType(*legend, "lkey")},
                                    {"mukey", declaredType(*mapunit, "mukey")},
                                    {"lseq", "INTEGER"},
                                    {"museq", "INTEGER"}});
    Statement units = prepare(db, "SELECT musym, mukey FROM " + quoteIdentifier(mapunit->name) +
                                      " WHERE lkey = ? ORDER BY rowid");
    landsort::clsLandUnitSort sorter;
    std::vector<std::string> keys;
    for (std::size_t area = 0; area < legends.size(); ++area) {
        sqlite3_reset(units.get());
        sqlite3_bind_text(units.get(), 1, legends[area].c_str(), -1, SQLITE_TRANSIENT);
        keys.clear();
        std::vector<std::string> order;
        while (sqlite3_step(units.get()) == SQLITE_ROW) {
            std::string symbol = columnText(units.get(), 0);
            std::replace(symbol.begin(), symbol.end(), '|', ' ');
            order.push_back(symbol + "|" + std::to_string(keys.size()));
            keys.push_back(columnText(units.get(), 1));
        }
        sorter.StringArraySort(order, "1,N");
        for (std::size_t i = 0; i < order.size(); ++i) {
            const std::size_t unit = std::stoul(order[i].substr(order[i].rfind('|') + 1));
            std::vector<LoadValue> row(4);
            row[0].kind = row[1].kind = LoadValue::Kind::Text;
            row[0].bytes = legends[area];
            row[1].bytes = keys[unit];
            row[2].kind = row[3].kind = LoadValue::Kind::Integer;
            row[2].integer = static_cast<std::int64_t>(area) + 1;
            row[3].integer = static_cast<std::int64_t>(i) + 1;
            writer.insert(row);
        }
    }
    IndexPlan byUnit;
    byUnit.name = "RK_sort_mukey";
    byUnit.table = kSortTable;
    byUnit.columns = {"mukey"};
    createIndexes(db, {byUnit}, IndexSet::All, OnRepeatedKey::Fail);
}

bool sameLayout(const std::vector<TableLayout>& a, const std::vector<TableLayout>& b, std::string& table)
{
    for (const auto& one : a) {
        const TableLayout* other = findTable(b, one.name);
        bool same = other && other->columns.size() == one.columns.size();
        for (std::size_t i = 0; same && i < one.columns.size(); ++i)
            same = lowerAscii(one.columns[i].name) == lowerAscii(other->columns[i].name) &&
                   one.columns[i].type.meaning == other->columns[i].type.meaning;
        if (!same) {
            table = one.name;
            return false;
        }
    }
    return a.size() == b.size();
}

} // namespace

bool isDownload(const fs::path& path)
{
    std::error_code error;
    if (fs::is_directory(path, error))
        return true;
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    return in.gcount() == 4 && magic[0] == 'P' && magic[1] == 'K' && magic[2] == 3 && magic[3] == 4;
}

void importDownloads(const std::vector<fs::path>& downloads, const fs::path& sqliteFile, const ImportReport& report)
{
    if (downloads.empty())
        throw DownloadError("no survey download to import");
    std::vector<std::unique_ptr<DownloadFiles>> surveys;
    for (const auto& download : downloads)
        surveys.push_back(std::make_unique<DownloadFiles>(download));
    const std::vector<TableLayout> layout = readLayout(*surveys.front());
    // A file no table stands for means the data and their description disagree.
    for (const auto& survey : surveys)
        for (const auto& file : survey->tabularFiles()) {
            const bool named = lowerAscii(file) == "version.txt" ||
                               std::any_of(layout.begin(), layout.end(), [&](const TableLayout& table) {
                                   return lowerAscii(table.file + ".txt") == lowerAscii(file);
                               });
            if (!named)
                throw DownloadError(survey->describe(file) + ": the table list (mstab.txt) names no table for this "
                                                             "file: not part of this download's layout");
        }
    for (std::size_t i = 1; i < surveys.size(); ++i) {
        std::string table;
        if (!sameLayout(layout, readLayout(*surveys[i]), table))
            throw DownloadError(surveys[i]->name() + " has another layout than " + surveys.front()->name() +
                                (table.empty() ? std::string() : " (table " + table + ")") +
                                "; surveys of different layouts cannot be merged");
    }

    AtomicFile database(sqliteFile);
    std::vector<std::unique_ptr<AtomicFile>> layers;
    {
        TableWriter writer(database.writePath());
        for (const auto& table : layout)
            writer.createTable(table.name, [&] {
                std::vector<LoadColumn> columns;
                for (const auto& column : table.columns)
                    columns.push_back({column.name, column.type.declared});
                return columns;
            }());
        std::vector<IndexPlan> plans;
        {
            Loader loader(writer, surveys, report);
            // The index tables come first: the primary keys they declare then guard every row.
            const char* keyTables[] = {"mdstatidxmas", "mdstatidxdet", "mdstatrshipdet"};
            for (const char* name : keyTables)
                if (const TableLayout* table = findTable(layout, name))
                    loader.load(0, *table);
            plans = ado::detail::surveyIndexPlans(writer.handle());
            loader.setPlans(plans);
            createIndexes(writer.handle(), plans, IndexSet::PrimaryKeys, OnRepeatedKey::Fail);
            for (std::size_t survey = 0; survey < surveys.size(); ++survey)
                for (const auto& table : layout)
                    if (survey > 0 || std::none_of(std::begin(keyTables), std::end(keyTables),
                                                   [&](const char* name) { return lowerAscii(table.name) == name; }))
                        loader.load(survey, table);
        }
        createIndexes(writer.handle(), plans, IndexSet::AllButPrimaryKeys, OnRepeatedKey::Fail);
        writeSortTable(writer, layout, report);

        std::vector<const DownloadFiles*> readers;
        for (const auto& survey : surveys)
            readers.push_back(survey.get());
        for (const auto& file : polygonLayers(readers)) {
            layers.push_back(std::make_unique<AtomicFile>(sqliteFile.parent_path() / file.name));
            layers.back()->write(file.bytes);
        }
        writer.commit(0);
    }
    database.commit();
    for (const auto& layer : layers) {
        layer->commit();
        if (report.note)
            report.note("copied the map layer file " + layer->target().string());
    }
}

} // namespace qln::download
