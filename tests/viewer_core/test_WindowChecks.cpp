#include "quillon/viewer/WindowChecks.h"

#include <gtest/gtest.h>

namespace qln::viewer {
namespace {

std::vector<TopLevelWindow> windows(std::vector<std::pair<std::string, bool>> list)
{
    std::vector<TopLevelWindow> out;
    int handle = 100;
    for (auto& [title, visible] : list) out.push_back({std::to_string(handle++), title, visible});
    return out;
}

TEST(WindowChecks, RunningViewerIsFoundByTitleAnyCaseVisibleOrNot)
{
    EXPECT_TRUE(QLNIsRunning(windows({{"quillon", false}})));
    EXPECT_TRUE(QLNIsRunning(windows({{"  QUILLON ", true}})));
    EXPECT_TRUE(QLNIsRunning(windows({{"Quillon - Disabled", false}})));
    EXPECT_TRUE(QLNIsRunning(windows({{std::string("Quillon\0junk", 12), true}})));
    EXPECT_FALSE(QLNIsRunning(windows({{"Quillon 2", true}, {"Quillon Help", true}, {"", true}})));
    EXPECT_FALSE(QLNIsRunning({}));
}

TEST(WindowChecks, MatchCountGivesTheHandleOfThatMatch)
{
    const auto list = windows({{"Other", true}, {"quillon", true}, {"Quillon - disabled", false}});
    EXPECT_EQ(CheckIfWindowRunning(list, "Quillon", 1), "101");
    EXPECT_EQ(CheckIfWindowRunning(list, "Quillon", 2), "102");
    EXPECT_FALSE(CheckIfWindowRunning(list, "Quillon", 3));
    EXPECT_EQ(CheckIfWindowRunning(list, "other", 1), "100");
}

TEST(WindowChecks, ArcViewWindowsCountOnlyWhenVisibleAndTitledAtTheStart)
{
    EXPECT_FALSE(MultipleArcviewSessions(windows({{"ArcView GIS 3.2 - project", true}})));
    EXPECT_TRUE(MultipleArcviewSessions(windows({{"ArcView GIS 3.2 - project", true}, {"arcview gis", true}})));
    EXPECT_FALSE(MultipleArcviewSessions(
        windows({{"ArcView GIS 3.2 - a", true}, {"ArcView GIS 3.2 - hidden", false}, {"My ArcView GIS notes", true}})));
    EXPECT_FALSE(MultipleArcviewSessions(windows({{"ArcView GI", true}, {"ArcView GIS", true}})));

    std::int16_t counter = 0;
    EXPECT_EQ(EnumWindowProc({"1", "Notes", true}, counter), 1);
    EXPECT_EQ(EnumWindowProc({"2", "ArcView GIS", true}, counter), 1);
    EXPECT_EQ(counter, 1);
}

} // namespace
} // namespace qln::viewer
