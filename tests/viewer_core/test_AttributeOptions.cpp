#include "quillon/viewer/AttributeOptions.h"

#include <gtest/gtest.h>

namespace qln::viewer {
namespace {

// An Attributes row as the rules table gives it.
ado::Recordset attributeRow(const std::string& key, bool season, bool layer, bool comp, bool list, bool ratelist,
                            const Variant& dbfColumn)
{
    ado::Recordset rs;
    for (const char* name : {"NodeKey", "DBFColumn", "RateLow", "RateHigh", "WAMultipliers", "Description"})
        rs.appendField(name, ado::adVarChar, 255);
    for (const char* name : {"SeasonOptions", "SoilLayerOptions", "CompOptions", "OptionList", "Ratelist"})
        rs.appendField(name, ado::adBoolean);
    rs.open();
    rs.addNew();
    rs.setValue("NodeKey", key);
    rs.setValue("DBFColumn", dbfColumn);
    rs.setValue("RateLow", std::string("Lower"));
    rs.setValue("RateHigh", std::string("Higher"));
    rs.setValue("WAMultipliers", Variant::null());
    rs.setValue("Description", std::string("About ") + key);
    rs.setValue("SeasonOptions", season);
    rs.setValue("SoilLayerOptions", layer);
    rs.setValue("CompOptions", comp);
    rs.setValue("OptionList", list);
    rs.setValue("Ratelist", ratelist);
    rs.update();
    return rs;
}

// The joined AttrAlgorithms/ValidAlgorithms rows, in AlgorithmSeq order.
ado::Recordset algorithms()
{
    ado::Recordset rs;
    rs.appendField("NodeKey", ado::adVarChar, 20);
    rs.appendField("Name", ado::adVarChar, 30);
    rs.appendField("AlgorithmSeq", ado::adInteger);
    rs.appendField("Initials", ado::adVarChar, 2);
    rs.appendField("DefaultAlgorithm", ado::adBoolean);
    rs.open();
    struct Row {
        const char* key;
        const char* name;
        long seq;
        const char* initials;
        bool isDefault;
    };
    for (const Row& row : {Row{"AWC", "Weighted Average", 0, "WA", false}, Row{"OTHER", "Most Limiting", 1, "ML", true},
                           Row{"AWC", "Dominant Soil", 3, "DS", true}, Row{"AWC", "All Components", 6, "AC", false}}) {
        rs.addNew();
        rs.setValue("NodeKey", std::string(row.key));
        rs.setValue("Name", std::string(row.name));
        rs.setValue("AlgorithmSeq", static_cast<std::int64_t>(row.seq));
        rs.setValue("Initials", std::string(row.initials));
        rs.setValue("DefaultAlgorithm", row.isDefault);
        rs.update();
    }
    rs.setFilter("Name='Dominant Soil'");
    return rs;
}

TEST(AttributeOptions, ReadsTheFramesAndOnlyTheAttributesOwnMethods)
{
    const ado::Recordset rsAlgorithms = algorithms();
    const AttributeOptions awc =
        attributeOptions(attributeRow("AWC", false, true, true, false, true, std::string("AWC_WA")), rsAlgorithms);
    EXPECT_FALSE(awc.season);
    EXPECT_TRUE(awc.soilLayer);
    EXPECT_TRUE(awc.compOptions);
    EXPECT_FALSE(awc.optionList);
    EXPECT_TRUE(awc.ratelist);
    ASSERT_EQ(awc.methods.size(), 3u);
    EXPECT_EQ(awc.methods[0].name, "Weighted Average");
    EXPECT_EQ(awc.methods[2].initials, "AC");
    EXPECT_EQ(awc.methodCode, 3);
    EXPECT_EQ(awc.methodName, "Dominant Soil");
    EXPECT_EQ(awc.dbfColumn, "AWC_WA");
    EXPECT_EQ(awc.waMultipliers, "");
    // The caller's filter stays on.
    EXPECT_EQ(rsAlgorithms.filter(), "Name='Dominant Soil'");

    const AttributeOptions none =
        attributeOptions(attributeRow("NONE", true, false, false, true, false, Variant::null()), rsAlgorithms);
    EXPECT_TRUE(none.methods.empty());
    EXPECT_EQ(none.methodCode, -1);
    EXPECT_EQ(none.dbfColumn, " ");
}

TEST(AttributeOptions, RateFrameBelongsToTwoMethodsOfRatelistAttributes)
{
    EXPECT_TRUE(showsRate("All Components", true));
    EXPECT_TRUE(showsRate("Dominant Soil", true));
    EXPECT_FALSE(showsRate("Dominant Condition", true));
    EXPECT_FALSE(showsRate("Dominant Soil", false));
}

TEST(AttributeOptions, InitialsReplaceTheLastTwoCharacters)
{
    EXPECT_EQ(replaceInitials("AWC_WA", "DS"), "AWC_DS");
    EXPECT_EQ(replaceInitials("WA", "ML"), "ML");
    EXPECT_EQ(replaceInitials("W", "ML"), "W");
    EXPECT_EQ(replaceInitials("", "ML"), "");
}

TEST(AttributeOptions, LeavingABoxClampsWhatWasTypedOrPasted)
{
    EXPECT_EQ(leaveDepthText("40000"), "32767");
    EXPECT_EQ(leaveDepthText("32767"), "32767");
    EXPECT_EQ(leaveDepthText("99999999999999999999999"), "32767");
    EXPECT_EQ(leaveDepthText(""), "0");
    EXPECT_EQ(leaveDepthText("25"), "25");
    EXPECT_EQ(leavePercentText("150"), "100");
    EXPECT_EQ(leavePercentText("15"), "15");
    EXPECT_EQ(leavePercentText(""), "");
}

PanelValues attributePanel()
{
    PanelValues values;
    values.attribute = "AWC";
    values.methodCode = 0;
    values.column = "AWC_WA";
    return values;
}

TEST(PanelToRunOptions, HiddenControlsGiveAbsentOptionsAndRateZero)
{
    const RunOptions options = toRunOptions(attributePanel());
    EXPECT_EQ(options.attribute, "AWC");
    EXPECT_EQ(options.method, "0");
    EXPECT_EQ(options.column, "AWC_WA");
    EXPECT_FALSE(options.top || options.bottom || options.beginMonth || options.endMonth || options.ignoreBelow ||
                 options.list);
    EXPECT_FALSE(options.nullsZero);
    EXPECT_EQ(options.rate, 0);

    PanelValues noMethod = attributePanel();
    noMethod.methodCode = -1;
    EXPECT_FALSE(toRunOptions(noMethod).method);
}

TEST(PanelToRunOptions, ShownControlsGiveTheirValues)
{
    PanelValues values = attributePanel();
    values.topDepth = "";
    values.bottomDepth = "25";
    values.nullsZero = true;
    values.ignorePct = "15";
    values.beginMonth = 11;
    values.endMonth = 2;
    values.rateLower = true;
    values.list = ListChoice{"Crop Name", "Corn"};
    const RunOptions options = toRunOptions(values);
    EXPECT_EQ(options.top, 0);  // an empty box is 0
    EXPECT_EQ(options.bottom, 25);
    EXPECT_TRUE(options.nullsZero);
    EXPECT_EQ(options.ignoreBelow, 15);
    EXPECT_EQ(options.beginMonth, 11);
    EXPECT_EQ(options.endMonth, 2);
    EXPECT_EQ(options.rate, -1);
    EXPECT_EQ(options.list, "Crop Name=Corn");
    values.rateLower = false;
    EXPECT_EQ(toRunOptions(values).rate, 1);
}

// The message of the OptionError the values raise.
std::string refusal(const PanelValues& values)
{
    try {
        toRunOptions(values);
    } catch (const OptionError& error) {
        return error.what();
    }
    return "<accepted>";
}

TEST(PanelToRunOptions, RefusesBottomAboveTopLargeNumbersAndAnEmptyColumn)
{
    PanelValues values = attributePanel();
    values.topDepth = "50";
    values.bottomDepth = "20";
    EXPECT_NE(refusal(values).find("top depth 50 is below the bottom depth 20"), std::string::npos) << refusal(values);
    values.bottomDepth = "50";
    EXPECT_EQ(refusal(values), "<accepted>");  // a layer without thickness stays allowed
    values.bottomDepth = "99999";
    EXPECT_NE(refusal(values).find("99999"), std::string::npos) << refusal(values);
    values.bottomDepth = "999999999999999999999999";
    EXPECT_NE(refusal(values).find("too large"), std::string::npos) << refusal(values);

    values = attributePanel();
    values.ignorePct = "150";
    EXPECT_NE(refusal(values).find("150"), std::string::npos);

    values = attributePanel();
    values.column = " ";
    EXPECT_NE(refusal(values).find("column name is empty"), std::string::npos);

    values = attributePanel();
    values.beginMonth = -1;  // a month name the month list does not know
    values.endMonth = 3;
    EXPECT_NE(refusal(values).find("not a month"), std::string::npos);
}

} // namespace
} // namespace qln::viewer
