#include "quillon/viewer/UserData.h"

#include "quillon/SqlText.h"
#include "quillon/Text.h"

#include <cmath>

namespace qln::viewer {
namespace {

bool flag(const ado::Recordset& record, const char* name)
{
    const auto value = record.value(name).number();
    return value && *value != 0.0;
}

} // namespace

std::vector<MethodChoice> attributeMethods(engine::clsQuillon& engine, const std::string& nodeKey)
{
    auto methods = engine.GetMainQLNRS(
        "SELECT * FROM AttrAlgorithms, ValidAlgorithms WHERE AttrAlgorithms.AlgorithmName=ValidAlgorithms.Name "
        "AND NodeKey='" + escapeQuotes(nodeKey) + "' ORDER BY AlgorithmSeq");
    std::vector<MethodChoice> offered;
    for (; !methods.eof(); methods.moveNext()) {
        const auto code = methods.value("AlgorithmSeq").number();
        if (!code)
            continue;
        offered.push_back({std::lround(*code), methods.value("Name").text(), flag(methods, "DefaultAlgorithm")});
    }
    return offered;
}

std::vector<ListChoice> attributeListItems(engine::clsQuillon& engine, const std::string& soilsConnect,
                                           const std::string& nodeKey)
{
    std::vector<ListChoice> items;
    auto lists = engine.GetOptionListsRS(soilsConnect, nodeKey);
    if (!lists)
        return items;
    for (lists->moveFirst(); !lists->eof(); lists->moveNext())
        items.push_back({trimBlanks(lists->value("ListName").text()), lists->value("ListData").text()});
    return items;
}

ado::Recordset buildUserData(const RunOptions& options, const ado::Recordset& attr, long methodCode)
{
    if (attr.value("DBFColumn").isNull())
        throw RefusedRun("This Interpretation is not yet supported.");
    const std::string column = options.column ? *options.column : attr.value("DBFColumn").text();
    if (!isPlainName(column))
        throw RefusedRun("The rules give the attribute the column name \"" + column +
                         "\", which may hold only letters, digits, _ and blanks.");
    const ListChoice list = options.list ? parseListChoice(*options.list) : ListChoice{};

    ado::Recordset data;
    data.appendField("Algorithm", ado::adInteger, 0, ado::adFldUpdatable);
    data.appendField("InterpKey", ado::adVarChar, 20, ado::adFldUpdatable);
    data.appendField("OutputTable", ado::adVarChar, 10, ado::adFldUpdatable);
    data.appendField("ListName", ado::adVarChar, 20, ado::adFldUpdatable);
    data.appendField("ItemSelected", ado::adVarChar, 255, ado::adFldUpdatable);
    data.appendField("TopDepth", ado::adInteger, 0, ado::adFldUpdatable);
    data.appendField("BotDepth", ado::adInteger, 0, ado::adFldUpdatable);
    data.appendField("BegMonth", ado::adInteger, 0, ado::adFldUpdatable);
    data.appendField("EndMonth", ado::adInteger, 0, ado::adFldUpdatable);
    data.appendField("IgnPct", ado::adInteger, 0, ado::adFldUpdatable);
    data.appendField("SetNullsZero", ado::adBoolean, 0, ado::adFldUpdatable);
    data.appendField("Rate", ado::adInteger, 0, ado::adFldUpdatable);
    data.appendField("Multipliers", ado::adVarChar, 250, ado::adFldUpdatable);
    data.open();
    data.addNew();
    data.setValue("Algorithm", methodCode);
    data.setValue("InterpKey", options.attribute);
    data.setValue("OutputTable", column);
    data.setValue("ListName", list.label);
    data.setValue("ItemSelected", list.item);
    // A hidden control gives -1.
    data.setValue("TopDepth", options.top.value_or(-1));
    data.setValue("BotDepth", options.bottom.value_or(-1));
    data.setValue("BegMonth", options.beginMonth.value_or(-1));
    data.setValue("EndMonth", options.endMonth.value_or(-1));
    data.setValue("IgnPct", options.ignoreBelow.value_or(-1));
    data.setValue("SetNullsZero", options.nullsZero);
    data.setValue("Rate", options.rate);
    data.setValue("Multipliers", attr.value("WAMultipliers").text());
    data.update();
    return data;
}

} // namespace qln::viewer
