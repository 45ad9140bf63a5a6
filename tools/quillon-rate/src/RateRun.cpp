#include "RateRun.h"

#include "quillon/SqlText.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/DbaseTable.h"
#include "quillon/ado/ServerAddress.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <vector>

namespace qln::rate {
namespace {

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
    if (ado::isServerAddress(soils.string()))
        return ado::serverConnectString(soils.string());
    return "DBQ=" + ado::quoteConnectionValue(soils.string()) + ";";
}

ado::Recordset loadMapunits(engine::clsQuillon& engine, const RateOptions& options)
{
    if (options.mapunits == "all")
        return engine.GetSoilsDataRS(soilsConnectString(options.soils), kAllMapunitsQuery);

    const std::filesystem::path file = options.mapunits;
    ado::Recordset table = ado::readDbaseTable(file);
    if (table.fieldIndex("mukey") < 0 || table.fieldIndex("musym") < 0)
        throw viewer::RefusedRun("The attribute file " + file.string() + " has no mukey and musym columns.");
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
