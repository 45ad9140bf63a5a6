#pragma once

// What the Options tab offers for one attribute, read from its rules rows, and the panel's
// control values turned into the run options that the run and quillon-rate share.

#include "quillon/ado/Recordset.h"
#include "quillon/viewer/RunOptions.h"

#include <optional>
#include <string>
#include <vector>

namespace qln::viewer {

// One method of ValidAlgorithms that AttrAlgorithms offers for the attribute.
struct MethodOffer {
    long code = 0;         // AlgorithmSeq
    std::string name;      // Name
    std::string initials;  // Initials
    bool isDefault = false;
};

struct AttributeOptions {
    std::string nodeKey;
    std::vector<MethodOffer> methods;  // in AlgorithmSeq order
    long methodCode = -1;              // the default method's code; -1 without one
    std::string methodName;            // the default method's name; "" without one
    bool optionList = false;
    bool compOptions = false;
    bool soilLayer = false;
    bool season = false;
    bool ratelist = false;
    std::string rateLow;
    std::string rateHigh;
    std::string dbfColumn;      // a single blank when the rules give none
    std::string waMultipliers;  // "" when Null
    std::string description;
};

// The options of the attribute at the current row of rsAttributes, with its methods from
// rsAlgorithms (the joined AttrAlgorithms/ValidAlgorithms rows, any filter). Neither record
// set's filter or position changes.
AttributeOptions attributeOptions(const ado::Recordset& rsAttributes, const ado::Recordset& rsAlgorithms);

// The rate choice belongs to "All Components" and "Dominant Soil", and only to attributes
// whose Ratelist is true.
bool showsRate(const std::string& methodName, bool ratelist);

// The column name with its last two characters replaced by a method's initials; names
// shorter than two characters stay as they are.
std::string replaceInitials(const std::string& column, const std::string& initials);

// What a depth box holds once left: "" becomes "0", a number above 32767 becomes "32767".
std::string leaveDepthText(const std::string& text);
// What the user is told when leaving a depth box changed its number; "" when it kept it.
std::string depthChangeNote(const std::string& text);
// What the percent box holds once left: a number above 100 becomes "100".
std::string leavePercentText(const std::string& text);

// The values of the Options tab's controls for one run; an absent value is a hidden control.
struct PanelValues {
    std::string attribute;  // the selected NodeKey
    long methodCode = -1;
    std::string column;                      // txtDBFColumn
    std::optional<ListChoice> list;          // when the option list is shown
    std::optional<bool> nullsZero;           // when the component frame is shown
    std::optional<std::string> ignorePct;    // when shown and chkIgnorePct is checked
    std::optional<std::string> topDepth;     // when the soil layer frame is shown
    std::optional<std::string> bottomDepth;
    std::optional<long> beginMonth;          // when the season frame is shown and months exist
    std::optional<long> endMonth;
    std::optional<bool> rateLower;           // when the rate frame is shown
};

// The checked run options of the panel: the numbers read from the boxes (an empty box is
// 0), then checkRunOptions. Throws OptionError naming what to mend, among them a bottom
// depth above the top, a depth above 32767, a percent above 100, an empty column name.
RunOptions toRunOptions(const PanelValues& values);

} // namespace qln::viewer
