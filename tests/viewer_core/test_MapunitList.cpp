#include "ReportFixture.h"

#include "quillon/viewer/MapunitList.h"

namespace viewer = qln::viewer;

namespace {

class MapunitList : public qln::test::ReportFixture {};

std::vector<std::string> column(qln::ado::Recordset rs, const char* name)
{
    std::vector<std::string> values;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        values.push_back(rs.value(name).text());
    return values;
}

TEST_F(MapunitList, ListFollowsTheSortTableAndCarriesTheDistributionDate)
{
    auto units = mapunits({"20", "10", "11", "12", "77"});
    qln::ado::Recordset list;
    ASSERT_EQ(viewer::PopulateMapunitList(engine, soilsConnect(), units, list, {}), 1);
    EXPECT_EQ(column(list, "Map Unit"), (std::vector<std::string>{"Cd", "Ab", "Ef", "Gh"}));
    EXPECT_EQ(column(list, "Survey Area"), (std::vector<std::string>{"TS001", "TS001", "TS001", "TS002"}));
    EXPECT_EQ(column(list, "distgendate"), (std::vector<std::string>(4, "2024-01-02")));
    std::vector<std::string> names;
    for (int i = 0; i < list.fieldCount(); ++i)
        names.push_back(list.field(i).name);
    EXPECT_EQ(names, (std::vector<std::string>{"Survey Area", "Map Unit", "Map Unit Name", "mukey", "areaname",
                                               "ssastatus", "cordate", "distgendate", "Selected"}));
    EXPECT_TRUE(viewer::GetSelectedRS(list).recordCount() == 0);
}

TEST_F(MapunitList, TicksGiveTheSelectionInListOrder)
{
    auto list = tickedList();
    auto selected = viewer::GetSelectedRS(list);
    EXPECT_EQ(column(selected, "musym"), (std::vector<std::string>{"Cd", "Ab", "Ef", "Gh"}));
    EXPECT_EQ(column(selected, "mukey"), (std::vector<std::string>{"11", "10", "12", "20"}));

    list.setFilter("[Survey Area]='TS001' AND [Map Unit]='Ab'");
    list.setValue("Selected", false);
    list.update();
    list.setFilter("");
    EXPECT_EQ(column(viewer::GetSelectedRS(list), "musym"), (std::vector<std::string>{"Cd", "Ef", "Gh"}));
    // A clone (the other tab's grid) sees the same ticks.
    EXPECT_EQ(viewer::GetSelectedRS(list.clone()).recordCount(), 3);
    viewer::SetAllRows(list, false);
    EXPECT_EQ(viewer::GetSelectedRS(list).recordCount(), 0);

    // A grid ticks its current row, found by area and symbol in every clone, and ticks or
    // shows only what its filter shows.
    qln::ado::Recordset grid = list.clone();
    grid.setFilter("[Map Unit]='Gh'");
    viewer::TickRow(grid, true);
    EXPECT_EQ(column(viewer::GetSelectedRS(list), "musym"), (std::vector<std::string>{"Gh"}));
    grid.setFilter("[Survey Area]='TS001'");
    viewer::TickShownRows(grid, true);
    EXPECT_EQ(viewer::GetSelectedRS(list).recordCount(), 4);
    viewer::TickShownRows(grid, false);
    viewer::ShowSelectedRows(grid, true);
    EXPECT_EQ(column(grid, "Map Unit"), (std::vector<std::string>{"Gh"}));
    viewer::ShowSelectedRows(grid, false);
    EXPECT_EQ(grid.recordCount(), 4);
}

TEST_F(MapunitList, NoMapUnitsOrNoDatesAreHandled)
{
    qln::ado::Recordset none = mapunits({});
    qln::ado::Recordset list;
    std::string reported;
    viewer::Messages messages;
    messages.report = [&](int, const std::string& procedure, const std::string&) { reported = procedure; };
    EXPECT_EQ(viewer::PopulateMapunitList(engine, soilsConnect(), none, list, messages), -1);
    EXPECT_EQ(reported, "PopulateMapunitList");

    soilsSql("DELETE FROM distmd;");
    auto units = mapunits({"10"});
    ASSERT_EQ(viewer::PopulateMapunitList(engine, soilsConnect(), units, list, messages), 1);
    EXPECT_EQ(column(list, "distgendate"), (std::vector<std::string>{""}));
}

} // namespace
