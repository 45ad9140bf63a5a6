#include "ShapeProvider.h"

#include "Database.h"
#include "Shape.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

namespace qln::ado::detail {
namespace {

int columnOf(const Table& table, const std::string& name, const std::string& level)
{
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        const std::string& field = table.fields[i].name;
        if (field.size() == name.size() &&
            std::equal(field.begin(), field.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            return static_cast<int>(i);
    }
    raiseProviderError("Column " + name + " of a RELATE clause is not in the rows of " + level);
}

// The relation key of a row in the canonical form the filter index uses, so that rows
// relate exactly when a filter finds them equal ('10' and 10 alike); nothing when a part is
// Null or Empty.
bool relationKey(const Table& table, const std::vector<int>& columns, std::uint32_t row, std::string& key)
{
    key.clear();
    for (const int column : columns) {
        const Variant& value = table.columns[static_cast<std::size_t>(column)][row];
        if (value.isMissing())
            return false;
        key += equalityKey(value);
        key += '\x1f';
    }
    return true;
}

void appendChapter(Table& parent, const ShapeCommand::Child& child, std::shared_ptr<Table> rows,
                   const std::string& parentName)
{
    std::vector<int> parentColumns, childColumns;
    for (const auto& relation : child.relations) {
        parentColumns.push_back(columnOf(parent, relation.parentColumn, parentName));
        childColumns.push_back(columnOf(*rows, relation.childColumn, child.alias));
    }

    auto chapter = std::make_shared<ChapterColumn>();
    // Group the child rows by key, keeping their query order within a group.
    std::unordered_map<std::string, std::uint32_t> groupOfKey;
    std::vector<std::uint32_t> groupOfRow(rows->rowCount(), ChapterColumn::kNoGroup);
    std::vector<std::uint32_t> groupSizes;
    std::string key;
    for (std::uint32_t row = 0; row < rows->rowCount(); ++row) {
        if (!relationKey(*rows, childColumns, row, key))
            continue;
        const auto [it, added] = groupOfKey.try_emplace(key, static_cast<std::uint32_t>(groupSizes.size()));
        if (added)
            groupSizes.push_back(0);
        groupOfRow[row] = it->second;
        ++groupSizes[it->second];
    }
    chapter->offsets.assign(groupSizes.size() + 1, 0);
    for (std::size_t g = 0; g < groupSizes.size(); ++g)
        chapter->offsets[g + 1] = chapter->offsets[g] + groupSizes[g];
    chapter->rows.resize(chapter->offsets.back());
    std::vector<std::uint32_t> fill(chapter->offsets.begin(), chapter->offsets.end() - 1);
    for (std::uint32_t row = 0; row < groupOfRow.size(); ++row) {
        if (groupOfRow[row] != ChapterColumn::kNoGroup)
            chapter->rows[fill[groupOfRow[row]]++] = row;
    }

    parent.addField(FieldInfo{child.alias, adChapter, 0, 0});
    parent.sourceColumns.emplace_back();
    chapter->child = std::move(rows);
    chapter->parentGroup.resize(parent.rowCount(), ChapterColumn::kNoGroup);
    for (std::uint32_t row = 0; row < parent.rowCount(); ++row) {
        if (!relationKey(parent, parentColumns, row, key))
            continue;
        if (const auto it = groupOfKey.find(key); it != groupOfKey.end())
            chapter->parentGroup[row] = it->second;
    }
    parent.chapters.back() = std::move(chapter);
}

std::shared_ptr<Table> run(Database& database, const ShapeCommand& command, const std::string& name)
{
    // Hierarchical rows are read-only: they come from several tables.
    auto table = database.readRows(command.sql);
    if (!table)
        raiseProviderError("The SHAPE level " + name + " is not a query: " + command.sql);
    for (const auto& child : command.children)
        appendChapter(*table, child, run(database, child.command, child.alias), name);
    return table;
}

} // namespace

std::shared_ptr<Table> runShapeCommand(Database& database, std::string_view text)
{
    const ShapeCommand command = parseShapeCommand(text);
    return run(database, command, command.alias.empty() ? std::string("SHAPE") : command.alias);
}

} // namespace qln::ado::detail
