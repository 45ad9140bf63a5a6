#include "quillon/viewer/AttributeOptions.h"

#include "quillon/Text.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace qln::viewer {

namespace {

bool flag(const ado::Recordset& row, std::string_view name)
{
    if (row.fieldIndex(name) < 0) return false;
    const auto value = row.value(name).number();
    return value && *value != 0.0;
}

std::string text(const ado::Recordset& row, std::string_view name)
{
    if (row.fieldIndex(name) < 0) return {};
    const Variant& value = row.value(name);
    return value.isMissing() ? std::string() : value.text();
}

// The decimal digits of a box; the boxes take nothing else, so an empty box is the only
// other text to expect. Numbers too large for a long stay apart from the others.
std::optional<long> boxNumber(const std::string& what, const std::string& box)
{
    const std::string digits = trimBlanks(box);
    if (digits.empty()) return 0L;
    return parseWholeNumber(what, digits);
}

// Whether a box of digits holds a number above limit; false for anything but digits.
bool above(const std::string& digits, long limit)
{
    long value = 0;
    const char* end = digits.data() + digits.size();
    const auto result = std::from_chars(digits.data(), end, value);
    if (result.ptr != end) return false;
    return result.ec == std::errc::result_out_of_range || (result.ec == std::errc() && value > limit);
}

} // namespace

AttributeOptions attributeOptions(const ado::Recordset& rsAttributes, const ado::Recordset& rsAlgorithms)
{
    AttributeOptions options;
    options.nodeKey = text(rsAttributes, "NodeKey");
    options.optionList = flag(rsAttributes, "OptionList");
    options.compOptions = flag(rsAttributes, "CompOptions");
    options.soilLayer = flag(rsAttributes, "SoilLayerOptions");
    options.season = flag(rsAttributes, "SeasonOptions");
    options.ratelist = flag(rsAttributes, "Ratelist");
    options.rateLow = text(rsAttributes, "RateLow");
    options.rateHigh = text(rsAttributes, "RateHigh");
    options.dbfColumn = rsAttributes.value("DBFColumn").isMissing() ? " " : text(rsAttributes, "DBFColumn");
    options.waMultipliers = text(rsAttributes, "WAMultipliers");
    options.description = text(rsAttributes, "Description");

    ado::Recordset methods = rsAlgorithms.clone();
    for (methods.moveFirst(); !methods.eof(); methods.moveNext()) {
        if (text(methods, "NodeKey") != options.nodeKey) continue;
        const auto code = methods.value("AlgorithmSeq").number();
        if (!code) continue;
        MethodOffer offer{std::lround(*code), text(methods, "Name"), text(methods, "Initials"),
                          flag(methods, "DefaultAlgorithm")};
        if (offer.isDefault) {
            options.methodCode = offer.code;
            options.methodName = offer.name;
        }
        options.methods.push_back(std::move(offer));
    }
    return options;
}

bool showsRate(const std::string& methodName, bool ratelist)
{
    return ratelist && (methodName == "All Components" || methodName == "Dominant Soil");
}

std::string replaceInitials(const std::string& column, const std::string& initials)
{
    if (column.size() < 2) return column;
    return column.substr(0, column.size() - 2) + initials;
}

std::string leaveDepthText(const std::string& text)
{
    const std::string digits = trimBlanks(text);
    if (digits.empty()) return "0";
    if (above(digits, kMaxDepth)) return std::to_string(kMaxDepth);
    return text;
}

std::string depthChangeNote(const std::string& text)
{
    const std::string digits = trimBlanks(text);
    if (!above(digits, kMaxDepth)) return {};
    return "The depth " + digits + " cm is above the largest depth, " + std::to_string(kMaxDepth) + " cm: " +
           std::to_string(kMaxDepth) + " is used.";
}

std::string leavePercentText(const std::string& text)
{
    const std::string digits = trimBlanks(text);
    if (above(digits, 100)) return "100";
    return text;
}

RunOptions toRunOptions(const PanelValues& values)
{
    RunOptions options;
    options.attribute = values.attribute;
    if (values.methodCode >= 0) options.method = std::to_string(values.methodCode);
    const std::string column = trimBlanks(values.column);
    if (column.empty())
        throw OptionError("The theme table column name is empty; enter a name of letters, digits and _.");
    options.column = column;
    if (values.list) options.list = values.list->label + "=" + values.list->item;
    if (values.nullsZero) options.nullsZero = *values.nullsZero;
    if (values.ignorePct) options.ignoreBelow = boxNumber("The percent", *values.ignorePct);
    if (values.topDepth || values.bottomDepth) {
        options.top = boxNumber("The top depth", values.topDepth.value_or(""));
        options.bottom = boxNumber("The bottom depth", values.bottomDepth.value_or(""));
    }
    options.beginMonth = values.beginMonth;
    options.endMonth = values.endMonth;
    if (values.rateLower) options.rate = *values.rateLower ? -1 : 1;
    checkRunOptions(options);
    return options;
}

} // namespace qln::viewer
