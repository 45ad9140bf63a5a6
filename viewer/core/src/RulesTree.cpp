#include "quillon/viewer/RulesTree.h"

#include "quillon/SqlText.h"

#include <algorithm>

namespace qln::viewer {

namespace {

bool displayed(const ado::Recordset& rs)
{
    const Variant& flag = rs.value("DisplayFlag");
    if (flag.isMissing()) return false;
    const auto number = flag.number();
    return number && *number != 0;
}

std::string filterOn(std::string_view column, std::string_view key)
{
    return std::string(column) + "='" + escapeQuotes(key) + "'";
}

std::vector<TreeNode> folders(const ado::Recordset& rsFolders, const ado::Recordset& rsAttributes,
                              std::string_view parentKey, std::vector<std::string>& path)
{
    ado::Recordset rows = rsFolders.clone();
    rows.setFilter(filterOn("ParentKey", parentKey));
    std::vector<TreeNode> nodes;
    for (; !rows.eof(); rows.moveNext()) {
        if (!displayed(rows)) continue;
        TreeNode node;
        node.folder = true;
        node.key = rows.value("Key").text();
        node.caption = rows.value("Name").text();
        node.image = kClosedFolder;
        node.expandedImage = kOpenFolder;
        if (std::find(path.begin(), path.end(), node.key) != path.end()) throw FolderCycle(node.key);
        path.push_back(node.key);
        node.children = folders(rsFolders, rsAttributes, node.key, path);
        path.pop_back();
        std::vector<TreeNode> attributes = Fill_Attributes(rsAttributes, node.key);
        std::move(attributes.begin(), attributes.end(), std::back_inserter(node.children));
        nodes.push_back(std::move(node));
    }
    return nodes;
}

} // namespace

FolderCycle::FolderCycle(const std::string& key)
    : std::runtime_error("The folder " + key + " of the rules table Folders is its own parent (ParentKey)."),
      m_key(key)
{
}

std::vector<TreeNode> Fill_TreeView(const ado::Recordset& rsFolders, const ado::Recordset& rsAttributes,
                                    std::string_view parentKey)
{
    std::vector<std::string> path;
    if (parentKey != kRootKey) path.emplace_back(parentKey);
    return folders(rsFolders, rsAttributes, parentKey, path);
}

std::vector<TreeNode> Fill_Attributes(const ado::Recordset& rsAttributes, std::string_view folderKey)
{
    ado::Recordset rows = rsAttributes.clone();
    rows.setFilter(filterOn("ParentKey", folderKey));
    std::vector<TreeNode> nodes;
    for (; !rows.eof(); rows.moveNext()) {
        if (!displayed(rows)) continue;
        TreeNode node;
        node.key = rows.value("NodeKey").text();
        node.caption = rows.value("NodeName").text();
        node.image = rows.value("AttrType").text() == "Interpretation" ? kWorld : kBlueArrow;
        node.expandedImage = kRightArrow;
        nodes.push_back(std::move(node));
    }
    return nodes;
}

const TreeNode* firstNode(const std::vector<TreeNode>& tree)
{
    return tree.empty() ? nullptr : &tree.front();
}

} // namespace qln::viewer
