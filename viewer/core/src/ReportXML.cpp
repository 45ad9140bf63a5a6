#include "quillon/viewer/ReportXML.h"

namespace qln::viewer {

std::string GetXMLText(const pugi::xml_document& document, const std::string& path)
{
    const pugi::xpath_node node = document.select_node(path.c_str());
    if (!node)
        return {};
    if (node.attribute())
        return node.attribute().value();
    return node.node().text().get();
}

std::optional<ado::Recordset> ReadXMLTableRS(const pugi::xml_document& document, const std::string& path,
                                             bool includeReasons)
{
    const pugi::xpath_node_set rows = document.select_nodes((path + "/row").c_str());
    if (rows.empty())
        return std::nullopt;
    ado::Recordset table;
    std::vector<std::string> names;
    for (pugi::xml_attribute attribute : rows.first().node().attributes()) {
        const std::string name = attribute.name();
        if (name == "Component" && !includeReasons)
            continue;
        names.push_back(name);
        table.appendField(name, ado::adVarChar, name == "Component" ? 2048 : 255);
    }
    table.open();
    for (const pugi::xpath_node& row : rows) {
        table.addNew();
        for (const std::string& name : names)
            table.setValue(name, std::string(row.node().attribute(name.c_str()).value()));
        table.update();
    }
    table.moveFirst();
    return table;
}

} // namespace qln::viewer
