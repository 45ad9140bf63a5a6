#include "SurveyLayout.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace qln::download {
namespace {

constexpr const char* kTablesTable = "mdstattabs";
constexpr const char* kColumnsTable = "mdstattabcols";

struct ColumnRow {
    long sequence = 0;
    std::string name;
    std::vector<PipeField> fields;
    long line = 0;
};

std::string fileText(const DownloadFiles& files, const std::string& file)
{
    auto text = files.tabular(file);
    if (!text)
        throw DownloadError(files.describe(file) + ": missing: not a complete survey download");
    return std::move(*text);
}

// The 0-based field position of each column of a metadata table, by column name.
std::map<std::string, std::size_t> positions(const std::vector<ColumnRow>& rows)
{
    std::map<std::string, std::size_t> out;
    for (const auto& row : rows)
        if (row.sequence >= 1)
            out[row.name] = static_cast<std::size_t>(row.sequence - 1);
    return out;
}

std::size_t position(const std::map<std::string, std::size_t>& positions, const std::string& table,
                     const std::string& column, const std::string& file)
{
    const auto found = positions.find(column);
    if (found == positions.end())
        throw DownloadError(file + ": the column list does not describe column " + column + " of " + table);
    return found->second;
}

} // namespace

std::vector<TableLayout> readLayout(const DownloadFiles& files)
{
    // mstab.txt first: a folder or zip without it is no download at all.
    const std::string tablesText = fileText(files, "mstab.txt");
    const std::string columnsText = fileText(files, "mstabcol.txt");
    const std::string columnsName = files.describe("mstabcol.txt");

    std::map<std::string, std::vector<ColumnRow>> columns;
    PipeRecords columnRecords(columnsText, columnsName);
    for (std::vector<PipeField> fields; columnRecords.next(fields);) {
        if (fields.size() < 3)
            throw DownloadError(columnsName + ", line " + std::to_string(columnRecords.line()) + ": " +
                                std::to_string(fields.size()) + " fields, not a column description");
        ColumnRow row;
        const std::string& sequence = fields[1].text;
        const auto parsed = std::from_chars(sequence.data(), sequence.data() + sequence.size(), row.sequence);
        if (parsed.ec != std::errc() || parsed.ptr != sequence.data() + sequence.size() || row.sequence < 1)
            throw DownloadError(columnsName + ", line " + std::to_string(columnRecords.line()) +
                                ", field 2: '" + sequence + "' is not a column position");
        row.name = fields[2].text;
        row.line = columnRecords.line();
        row.fields = fields;
        columns[fields[0].text].push_back(std::move(row));
    }
    const auto columnPositions = positions(columns[kColumnsTable]);
    // The anchor the list is read by must be what it says of itself.
    if (position(columnPositions, kColumnsTable, "tabphyname", columnsName) != 0 ||
        position(columnPositions, kColumnsTable, "colsequence", columnsName) != 1 ||
        position(columnPositions, kColumnsTable, "colphyname", columnsName) != 2)
        throw DownloadError(columnsName + ": its rows for " + std::string(kColumnsTable) +
                            " put the table, position and column elsewhere than in the first three fields");
    const std::size_t typeAt = position(columnPositions, kColumnsTable, "logicaldatatype", columnsName);
    const std::size_t sizeAt = position(columnPositions, kColumnsTable, "fieldsize", columnsName);
    const auto tablePositions = positions(columns[kTablesTable]);
    const std::string tablesName = files.describe("mstab.txt");
    const std::size_t nameAt = position(tablePositions, kTablesTable, "tabphyname", columnsName);
    const std::size_t fileAt = position(tablePositions, kTablesTable, "iefilename", columnsName);

    std::vector<TableLayout> layout;
    PipeRecords tableRecords(tablesText, tablesName);
    for (std::vector<PipeField> fields; tableRecords.next(fields);) {
        if (fields.size() <= std::max(nameAt, fileAt))
            throw DownloadError(tablesName + ", line " + std::to_string(tableRecords.line()) + ": " +
                                std::to_string(fields.size()) + " fields, the table list has " +
                                std::to_string(columns[kTablesTable].size()));
        TableLayout table{fields[nameAt].text, fields[fileAt].text, {}};
        auto rows = columns[table.name];
        std::stable_sort(rows.begin(), rows.end(),
                         [](const ColumnRow& a, const ColumnRow& b) { return a.sequence < b.sequence; });
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const ColumnRow& row = rows[i];
            const auto where = [&] { return columnsName + ", line " + std::to_string(row.line); };
            if (row.sequence != static_cast<long>(i) + 1)
                throw DownloadError(where() + ": column " + row.name + " of " + table.name + " is at position " +
                                    std::to_string(row.sequence) + ", where " + std::to_string(i + 1) +
                                    " was expected");
            if (row.fields.size() <= std::max(typeAt, sizeAt))
                throw DownloadError(where() + ": " + std::to_string(row.fields.size()) + " fields, too few");
            const auto type = columnType(row.fields[typeAt].text, row.fields[sizeAt].text);
            if (!type)
                throw DownloadError(where() + ", field logicaldatatype: '" + row.fields[typeAt].text +
                                    "' is not a data type");
            table.columns.push_back({row.name, *type});
        }
        if (!table.columns.empty())
            layout.push_back(std::move(table));
    }
    return layout;
}

} // namespace qln::download
