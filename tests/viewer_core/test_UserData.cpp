#include "EngineFixture.h"
#include "quillon/viewer/UserData.h"

using namespace qln::viewer;

namespace {

class UserDataTest : public qln::test::EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        addAttribute({});
        rulesSql("INSERT INTO AttrAlgorithms VALUES ('attr','Dominant Soil',1), ('attr','Weighted Average',0);");
    }

    qln::ado::Recordset attribute()
    {
        return engine.GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='attr'");
    }
};

} // namespace

TEST_F(UserDataTest, MethodsAndListItemsComeFromTheRulesAndTheSoils)
{
    const auto methods = attributeMethods(engine, "attr");
    ASSERT_EQ(methods.size(), 2u);
    EXPECT_EQ(methods[0].code, 0);
    EXPECT_EQ(methods[1].name, "Dominant Soil");
    EXPECT_TRUE(methods[1].isDefault);
    EXPECT_TRUE(attributeMethods(engine, "none").empty());

    soilsSql("INSERT INTO mapunit VALUES ('Ab','Alpha','L1','10');");
    rulesSql("INSERT INTO OptionList VALUES ('attr', 'Unit', 'SELECT musym FROM mapunit', 'musym');");
    const auto items = attributeListItems(engine, soilsConnect(), "attr");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].label, "Unit");  // the list's fixed-width name comes without its padding
    EXPECT_EQ(items[0].item, "Ab");
    EXPECT_TRUE(attributeListItems(engine, soilsConnect(), "none").empty());
}

TEST_F(UserDataTest, AbsentOptionsTakeTheHiddenControlsValues)
{
    rulesSql("UPDATE Attributes SET WAMultipliers='*om_r|2';");
    RunOptions options;
    options.attribute = "attr";
    options.list = "Crop=Corn=sweet";
    auto data = buildUserData(options, attribute(), 3);
    EXPECT_EQ(data.value("Algorithm").integer(), 3);
    EXPECT_EQ(data.value("InterpKey").text(), "attr");
    EXPECT_EQ(data.value("OutputTable").text(), "Col");
    for (const char* hidden : {"TopDepth", "BotDepth", "BegMonth", "EndMonth", "IgnPct"})
        EXPECT_EQ(data.value(hidden).integer(), -1) << hidden;
    EXPECT_EQ(data.value("Rate").integer(), 0);
    EXPECT_FALSE(data.value("SetNullsZero").boolean());
    EXPECT_EQ(data.value("ListName").text(), "Crop");
    EXPECT_EQ(data.value("ItemSelected").text(), "Corn=sweet");
    EXPECT_EQ(data.value("Multipliers").text(), "*om_r|2");

    options.top = 0;
    options.bottom = 0;
    options.column = "Other";
    data = buildUserData(options, attribute(), 0);
    EXPECT_EQ(data.value("TopDepth").integer(), 0);
    EXPECT_EQ(data.value("BotDepth").integer(), 0);
    EXPECT_EQ(data.value("OutputTable").text(), "Other");
}

TEST_F(UserDataTest, AttributesWithoutAUsableColumnAreRefused)
{
    RunOptions options;
    options.attribute = "attr";
    rulesSql("UPDATE Attributes SET DBFColumn='a;b';");
    EXPECT_THROW(buildUserData(options, attribute(), 3), RefusedRun);
    rulesSql("UPDATE Attributes SET DBFColumn=NULL;");
    try {
        buildUserData(options, attribute(), 3);
        FAIL();
    } catch (const RefusedRun& refused) {
        EXPECT_STREQ(refused.what(), "This Interpretation is not yet supported.");
    }
}
