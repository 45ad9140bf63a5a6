#pragma once

#include "quillon/ado/Recordset.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qln::viewer {

// Image names of the tree's image list; the process button takes a node shown with
// kClosedFolder for a folder.
inline constexpr const char* kClosedFolder = "Closed_Folder";
inline constexpr const char* kOpenFolder = "Open_Folder";
inline constexpr const char* kWorld = "World";
inline constexpr const char* kBlueArrow = "Blue_Arrow";
inline constexpr const char* kRightArrow = "Right_Arrow";

// The parent key of the top-level folders.
inline constexpr const char* kRootKey = "ROOT";

// One node of the attribute tree: a folder (Folders.Key, Folders.Name) or an attribute
// (Attributes.NodeKey, Attributes.NodeName).
struct TreeNode {
    bool folder = false;
    std::string key;
    std::string caption;
    std::string image;          // shown collapsed
    std::string expandedImage;  // shown expanded and selected
    std::vector<TreeNode> children;
};

// A folder that is its own ancestor through Folders.ParentKey: the tree would never end.
class FolderCycle : public std::runtime_error {
public:
    explicit FolderCycle(const std::string& key);
    const std::string& key() const { return m_key; }

private:
    std::string m_key;
};

// The displayed folders under parentKey (DisplayFlag true, in the record set's order), each
// with its sub-folders first and then its attributes. A hidden folder hides its subtree.
// Throws FolderCycle when a folder is reached again below itself; the record sets' own
// filters and positions are left alone.
std::vector<TreeNode> Fill_TreeView(const ado::Recordset& rsFolders, const ado::Recordset& rsAttributes,
                                    std::string_view parentKey = kRootKey);

// The displayed attributes of one folder, in the record set's order.
std::vector<TreeNode> Fill_Attributes(const ado::Recordset& rsAttributes, std::string_view folderKey);

// The first node in display order, or nullptr for an empty tree.
const TreeNode* firstNode(const std::vector<TreeNode>& tree);

} // namespace qln::viewer
