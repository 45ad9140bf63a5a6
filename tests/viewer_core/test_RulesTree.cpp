#include "quillon/viewer/RulesTree.h"

#include "quillon/ado/Types.h"

#include <gtest/gtest.h>

namespace qln::viewer {
namespace {

ado::Recordset folders(std::vector<std::tuple<std::string, std::string, std::string, bool>> rows)
{
    ado::Recordset rs;
    rs.appendField("Key", ado::adVarChar, 20);
    rs.appendField("ParentKey", ado::adVarChar, 20);
    rs.appendField("Name", ado::adVarChar, 100);
    rs.appendField("DisplayFlag", ado::adBoolean);
    rs.open();
    for (auto& [key, parent, name, shown] : rows) {
        rs.addNew();
        rs.setValue("Key", key);
        rs.setValue("ParentKey", parent);
        rs.setValue("Name", name);
        rs.setValue("DisplayFlag", shown);
        rs.update();
    }
    return rs;
}

ado::Recordset attributes(std::vector<std::tuple<std::string, std::string, std::string, bool>> rows)
{
    ado::Recordset rs;
    rs.appendField("NodeKey", ado::adVarChar, 20);
    rs.appendField("ParentKey", ado::adVarChar, 20);
    rs.appendField("NodeName", ado::adVarChar, 100);
    rs.appendField("DisplayFlag", ado::adBoolean);
    rs.appendField("AttrType", ado::adVarChar, 20);
    rs.open();
    for (auto& [key, parent, name, shown] : rows) {
        rs.addNew();
        rs.setValue("NodeKey", key);
        rs.setValue("ParentKey", parent);
        rs.setValue("NodeName", name);
        rs.setValue("DisplayFlag", shown);
        rs.setValue("AttrType", key.starts_with("INT") ? "Interpretation" : "Soil Property");
        rs.update();
    }
    return rs;
}

std::string outline(const std::vector<TreeNode>& nodes)
{
    std::string text;
    for (const TreeNode& node : nodes) {
        text += node.key + "[" + node.image + "]";
        if (!node.children.empty()) text += "(" + outline(node.children) + ")";
        text += " ";
    }
    return text;
}

TEST(RulesTree, FoldersFirstThenAttributesWithTheirImagesInRecordOrder)
{
    const auto rsFolders = folders({{"PHY", "ROOT", "Physical", true},
                                    {"INTS", "ROOT", "Interpretations", true},
                                    {"TEX", "PHY", "Texture", true}});
    const auto rsAttributes = attributes({{"PHY_CLAY", "TEX", "Clay", true},
                                          {"PHY_PH", "PHY", "pH", true},
                                          {"INT_DWB", "INTS", "Dwellings", true}});
    const auto tree = Fill_TreeView(rsFolders, rsAttributes);
    EXPECT_EQ(outline(tree), "PHY[Closed_Folder](TEX[Closed_Folder](PHY_CLAY[Blue_Arrow] ) PHY_PH[Blue_Arrow] ) "
                             "INTS[Closed_Folder](INT_DWB[World] ) ");
    ASSERT_NE(firstNode(tree), nullptr);
    EXPECT_EQ(firstNode(tree)->caption, "Physical");
    EXPECT_EQ(tree[0].expandedImage, kOpenFolder);
    EXPECT_EQ(tree[0].children[1].expandedImage, kRightArrow);
}

TEST(RulesTree, HiddenFolderHidesItsWholeSubtreeAndHiddenAttributesAreLeftOut)
{
    const auto rsFolders = folders({{"A", "ROOT", "A", true}, {"B", "A", "B", false}, {"C", "B", "C", true}});
    const auto rsAttributes = attributes({{"X", "C", "x", true}, {"Y", "A", "y", false}, {"Z", "A", "z", true}});
    EXPECT_EQ(outline(Fill_TreeView(rsFolders, rsAttributes)), "A[Closed_Folder](Z[Blue_Arrow] ) ");
}

TEST(RulesTree, CycleInParentKeysIsReportedNotRecursedForever)
{
    const auto rsFolders = folders({{"A", "ROOT", "A", true}, {"B", "A", "B", true}, {"A", "B", "A again", true}});
    try {
        Fill_TreeView(rsFolders, attributes({}));
        FAIL() << "no cycle found";
    } catch (const FolderCycle& cycle) {
        EXPECT_EQ(cycle.key(), "A");
        EXPECT_NE(std::string(cycle.what()).find("ParentKey"), std::string::npos);
    }
    // A folder that is its own parent, started below the root.
    EXPECT_THROW(Fill_TreeView(folders({{"S", "S", "self", true}}), attributes({}), "S"), FolderCycle);
}

TEST(RulesTree, KeysWithQuotesAndTheCallersFilterAreSafe)
{
    auto rsFolders = folders({{"O'Brien", "ROOT", "Quoted", true}});
    auto rsAttributes = attributes({{"Q", "O'Brien", "q", true}});
    rsFolders.setFilter("Key='nothing'");
    EXPECT_EQ(outline(Fill_TreeView(rsFolders, rsAttributes)), "O'Brien[Closed_Folder](Q[Blue_Arrow] ) ");
    EXPECT_EQ(rsFolders.filter(), "Key='nothing'");
    EXPECT_TRUE(Fill_TreeView(folders({}), rsAttributes).empty());
    EXPECT_EQ(firstNode({}), nullptr);
}

} // namespace
} // namespace qln::viewer
