#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qln::viewer {

// A value an option does not allow; the message names the value and what is allowed.
// quillon-rate exits 64 on it, the option panel shows it.
class OptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A run that cannot start for a reason the user can mend in the rules or the data.
class RefusedRun : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Depths are 16-bit fields of the soils data.
inline constexpr long kMaxDepth = 32767;

// The user's choices for one run; an absent value is a control the attribute hides.
struct RunOptions {
    std::string attribute;                 // NodeKey
    std::optional<std::string> method;     // a code or a method name
    std::optional<std::string> column;     // the rating column; the attribute's DBFColumn when absent
    std::optional<long> top;               // soil layer, cm
    std::optional<long> bottom;
    std::optional<long> beginMonth;        // 1-12; the range may wrap past December
    std::optional<long> endMonth;
    std::optional<long> ignoreBelow;       // percent
    bool nullsZero = false;
    long rate = 0;                         // tie-break override: -1, 1, or 0 for the attribute's own
    std::optional<std::string> list;       // LABEL=ITEM
};

// The whole number a text box or an option holds ("40", " -1 "); an OptionError naming
// `what` and the text when it is no whole number or too large for any field.
long parseWholeNumber(const std::string& what, const std::string& text);

// Checks the values on their own, before any database is read: top and bottom together
// with 0 <= top <= bottom <= 32767, both months or neither within 1-12, percent 0-100,
// rate -1, 0 or 1, a plain column name, a list choice of the form LABEL=ITEM.
void checkRunOptions(const RunOptions& options);

// One method an attribute offers.
struct MethodChoice {
    long code = 0;
    std::string name;
    bool isDefault = false;
};

// The method code of the option: a code or a name (any case) among the offered methods, the
// default method when absent, -1 when there is none. A method not offered is an OptionError
// listing the offered ones.
long chooseMethod(const std::vector<MethodChoice>& offered, const std::optional<std::string>& method);

// One item of an attribute's option list.
struct ListChoice {
    std::string label;
    std::string item;
};

// LABEL=ITEM split at the first "="; OptionError without one.
ListChoice parseListChoice(const std::string& text);

// OptionError unless the choice is one of the offered items; the message lists the labels,
// or the items of the chosen label.
void checkListChoice(const ListChoice& choice, const std::vector<ListChoice>& offered);

} // namespace qln::viewer
