#include "RateRun.h"

#include "quillon/SqlText.h"
#include "quillon/Text.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/DbaseTable.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <vector>

namespace qln::rate {
namespace {

bool isInteger(const std::string& text)
{
    std::size_t i = text.size() > 1 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    return i < text.size() && std::all_of(text.begin() + static_cast<long>(i), text.end(),
                                          [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool flag(const ado::Recordset& record, const char* name)
{
    const auto number = record.value(name).number();
    return number && *number != 0.0;
}

} // namespace

std::filesystem::path bundledRules(const std::filesystem::path& executable)
{
    return executable.parent_path().parent_path() / "share" / "quillon" / "quillon-rules.sqlite";
}

std::string soilsConnectString(const std::filesystem::path& soils)
{
    return "DBQ=" + ado::quoteConnectionValue(soils.string()) + ";";
}

long methodCode(engine::clsQuillon& engine, const std::string& nodeKey, const std::optional<std::string>& method)
{
    if (method && isInteger(*method))
        return std::stol(*method);
    if (method) {
        auto valid = engine.GetMainQLNRS("SELECT * FROM ValidAlgorithms ORDER BY AlgorithmSeq");
        std::string names;
        for (; !valid.eof(); valid.moveNext()) {
            const std::string name = valid.value("Name").text();
            if (lowerAscii(name) == lowerAscii(*method))
                return std::lround(*valid.value("AlgorithmSeq").number());
            names += (names.empty() ? "" : ", ") + name;
        }
        throw UsageError("unknown method \"" + *method + "\"; the methods are " + names + " (or their codes)");
    }
    auto defaults = engine.GetMainQLNRS(
        "SELECT * FROM AttrAlgorithms, ValidAlgorithms WHERE AttrAlgorithms.AlgorithmName=ValidAlgorithms.Name "
        "AND NodeKey='" + escapeQuotes(nodeKey) + "' ORDER BY AlgorithmSeq");
    for (; !defaults.eof(); defaults.moveNext()) {
        if (flag(defaults, "DefaultAlgorithm"))
            return std::lround(*defaults.value("AlgorithmSeq").number());
    }
    return -1;
}

ado::Recordset buildUserData(engine::clsQuillon& engine, const RateOptions& options, const ado::Recordset& attr)
{
    if (attr.value("DBFColumn").isNull())
        throw RefusedRun("This Interpretation is not yet supported.");
    const std::string column = options.column ? *options.column : attr.value("DBFColumn").text();
    if (!isPlainName(column))
        throw UsageError("the column name \"" + column + "\" may hold only letters, digits, _ and blanks");
    std::string listName, item;
    if (options.list) {
        const auto equal = options.list->find('=');
        if (equal == std::string::npos)
            throw UsageError("--list takes LABEL=ITEM, not \"" + *options.list + "\"");
        listName = options.list->substr(0, equal);
        item = options.list->substr(equal + 1);
    }

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
    data.setValue("Algorithm", methodCode(engine, options.attribute, options.method));
    data.setValue("InterpKey", options.attribute);
    data.setValue("OutputTable", column);
    data.setValue("ListName", listName);
    data.setValue("ItemSelected", item);
    data.setValue("TopDepth", options.top);
    data.setValue("BotDepth", options.bottom);
    data.setValue("BegMonth", options.beginMonth);
    data.setValue("EndMonth", options.endMonth);
    data.setValue("IgnPct", options.ignoreBelow);
    data.setValue("SetNullsZero", options.nullsZero);
    data.setValue("Rate", options.rate);
    data.setValue("Multipliers", attr.value("WAMultipliers").text());
    data.update();
    return data;
}

ado::Recordset loadMapunits(engine::clsQuillon& engine, const RateOptions& options)
{
    if (options.mapunits == "all")
        return engine.GetSoilsDataRS(soilsConnectString(options.soils), "select distinct(mukey),musym from mapunit ");

    const std::filesystem::path file = options.mapunits;
    ado::Recordset table = ado::readDbaseTable(file);
    if (table.fieldIndex("mukey") < 0 || table.fieldIndex("musym") < 0)
        throw RefusedRun("The attribute file " + file.string() + " has no mukey and musym columns.");
    ado::Recordset units;
    units.appendField("mukey", ado::adVarChar, 16, ado::adFldUpdatable);
    units.appendField("musym", ado::adVarChar, 6, ado::adFldUpdatable);
    units.open();
    std::set<std::pair<std::string, std::string>> seen;
    for (; !table.eof(); table.moveNext()) {
        const Variant& key = table.value("mukey");
        if (key.isNull())
            continue;
        const Variant& symbol = table.value("musym");
        if (!seen.emplace(key.text(), symbol.text()).second)
            continue;
        units.addNew();
        units.setValue("mukey", key);
        units.setValue("musym", symbol);
    }
    return units;
}

void listAttributes(engine::clsQuillon& engine, std::ostream& out)
{
    auto folders = engine.GetMainQLNRS("SELECT * FROM Folders ORDER BY FolderSeq");
    auto attributes = engine.GetMainQLNRS("SELECT * FROM Attributes ORDER BY AttrSeq");
    auto methods = engine.GetMainQLNRS(
        "SELECT * FROM AttrAlgorithms, ValidAlgorithms WHERE AttrAlgorithms.AlgorithmName=ValidAlgorithms.Name "
        "ORDER BY AlgorithmSeq");
    auto lists = engine.GetMainQLNRS("SELECT * FROM OptionList");

    std::multimap<std::string, std::string> childFolders;
    std::map<std::string, std::string> folderNames;
    for (; !folders.eof(); folders.moveNext()) {
        if (!flag(folders, "DisplayFlag"))
            continue;
        childFolders.emplace(folders.value("ParentKey").text(), folders.value("Key").text());
        folderNames[folders.value("Key").text()] = folders.value("Name").text();
    }

    auto describe = [&](const std::string& indent) {
        std::string text;
        const std::string key = attributes.value("NodeKey").text();
        text += indent + key + "  " + attributes.value("NodeName").text() + "\n";
        methods.setFilter("NodeKey='" + escapeQuotes(key) + "'");
        std::string names;
        for (; !methods.eof(); methods.moveNext())
            names += (names.empty() ? "" : ", ") + methods.value("Name").text() + " (" +
                     methods.value("AlgorithmSeq").text() + (flag(methods, "DefaultAlgorithm") ? ", default" : "") + ")";
        std::vector<std::string> options;
        if (flag(attributes, "SoilLayerOptions"))
            options.emplace_back("--top/--bottom");
        if (flag(attributes, "SeasonOptions"))
            options.emplace_back("--begin-month/--end-month");
        if (flag(attributes, "CompOptions"))
            options.emplace_back("--ignore-below, --nulls-zero");
        if (flag(attributes, "Ratelist"))
            options.emplace_back("--rate (-1 " + attributes.value("RateLow").text() + ", 1 " +
                                 attributes.value("RateHigh").text() + ")");
        lists.setFilter("NodeKey='" + escapeQuotes(key) + "'");
        for (; !lists.eof(); lists.moveNext())
            options.emplace_back("--list \"" + lists.value("Label").text() + "=...\"");
        text += indent + "    methods: " + (names.empty() ? "none" : names) + "\n";
        if (!options.empty()) {
            std::string joined;
            for (const auto& option : options)
                joined += (joined.empty() ? "" : "; ") + option;
            text += indent + "    options: " + joined + "\n";
        }
        if (attributes.value("DBFColumn").isNull())
            text += indent + "    (not yet supported)\n";
        return text;
    };

    std::function<void(const std::string&, const std::string&)> folder = [&](const std::string& key,
                                                                             const std::string& indent) {
        out << indent << "[" << folderNames[key] << "]\n";
        attributes.setFilter("ParentKey='" + escapeQuotes(key) + "'");
        for (; !attributes.eof(); attributes.moveNext()) {
            if (flag(attributes, "DisplayFlag"))
                out << describe(indent + "  ");
        }
        const auto [first, last] = childFolders.equal_range(key);
        for (auto it = first; it != last; ++it)
            folder(it->second, indent + "  ");
    };
    const auto [first, last] = childFolders.equal_range("ROOT");
    for (auto it = first; it != last; ++it)
        folder(it->second, "");
}

} // namespace qln::rate
