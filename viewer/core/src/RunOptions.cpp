#include "quillon/viewer/RunOptions.h"

#include "quillon/SqlText.h"
#include "quillon/Text.h"

#include <algorithm>
#include <charconv>

namespace qln::viewer {
namespace {

std::string number(long value)
{
    return std::to_string(value);
}

std::string joined(const std::vector<std::string>& texts)
{
    std::string text;
    for (const auto& each : texts)
        text += (text.empty() ? "" : ", ") + each;
    return text;
}

// The whole text as a decimal integer, or nothing.
std::optional<long> integerText(const std::string& text)
{
    long value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

void checkDepths(const RunOptions& options)
{
    if (options.top.has_value() != options.bottom.has_value())
        throw OptionError("The soil layer needs both a top and a bottom depth (cm), or neither.");
    if (!options.top)
        return;
    const long top = *options.top, bottom = *options.bottom;
    for (const long depth : {top, bottom}) {
        if (depth < 0 || depth > kMaxDepth)
            throw OptionError("The depth " + number(depth) + " is outside 0 to " + number(kMaxDepth) + " cm.");
    }
    if (top > bottom)
        throw OptionError("The top depth " + number(top) + " is below the bottom depth " + number(bottom) +
                          "; the top must be at most the bottom.");
}

void checkMonths(const RunOptions& options)
{
    if (options.beginMonth.has_value() != options.endMonth.has_value())
        throw OptionError("The months need both a first and a last month, or neither.");
    for (const auto& month : {options.beginMonth, options.endMonth}) {
        if (month && (*month < 1 || *month > 12))
            throw OptionError("The month " + number(*month) + " is not a month; months are 1 to 12.");
    }
}

} // namespace

long parseWholeNumber(const std::string& what, const std::string& text)
{
    std::string digits = trimBlanks(text);
    if (!digits.empty() && digits.front() == '+')
        digits.erase(0, 1);
    long value = 0;
    const char* end = digits.data() + digits.size();
    const auto result = std::from_chars(digits.data(), end, value);
    if (result.ec == std::errc::result_out_of_range)
        throw OptionError(what + " " + text + " is too large; it must be within 0 to " + number(kMaxDepth) + ".");
    if (digits.empty() || result.ec != std::errc() || result.ptr != end)
        throw OptionError(what + " takes a whole number, not \"" + text + "\".");
    return value;
}

void checkRunOptions(const RunOptions& options)
{
    checkDepths(options);
    checkMonths(options);
    if (options.ignoreBelow && (*options.ignoreBelow < 0 || *options.ignoreBelow > 100))
        throw OptionError("The percent " + number(*options.ignoreBelow) + " is outside 0 to 100.");
    if (options.rate < -1 || options.rate > 1)
        throw OptionError("The tie-break direction " + number(options.rate) +
                          " is not -1 (lower wins), 1 (higher wins) or 0 (the attribute's own).");
    if (options.column && (!isPlainName(*options.column) || options.column->size() > 10))
        throw OptionError("The column name \"" + *options.column +
                          "\" may hold only letters, digits, _ and blanks, at most 10 of them, "
                          "and may not start with a digit.");
    if (options.list)
        parseListChoice(*options.list);
}

long chooseMethod(const std::vector<MethodChoice>& offered, const std::optional<std::string>& method)
{
    if (!method) {
        const auto found = std::find_if(offered.begin(), offered.end(), [](const auto& m) { return m.isDefault; });
        return found == offered.end() ? -1 : found->code;
    }
    const auto code = integerText(trimBlanks(*method));
    for (const auto& each : offered) {
        if (code ? *code == each.code : lowerAscii(trimBlanks(*method)) == lowerAscii(each.name))
            return each.code;
    }
    std::vector<std::string> names;
    for (const auto& each : offered)
        names.push_back(number(each.code) + " " + each.name);
    throw OptionError("The method \"" + *method + "\" is not one this attribute allows; " +
                      (names.empty() ? std::string("it allows none.") : "it allows " + joined(names) + "."));
}

ListChoice parseListChoice(const std::string& text)
{
    const auto equal = text.find('=');
    if (equal == std::string::npos)
        throw OptionError("A list choice is LABEL=ITEM, not \"" + text + "\".");
    return {text.substr(0, equal), text.substr(equal + 1)};
}

void checkListChoice(const ListChoice& choice, const std::vector<ListChoice>& offered)
{
    std::vector<std::string> labels, items;
    for (const auto& each : offered) {
        if (std::find(labels.begin(), labels.end(), each.label) == labels.end())
            labels.push_back(each.label);
        if (each.label != choice.label)
            continue;
        if (each.item == choice.item)
            return;
        items.push_back(each.item);
    }
    if (labels.empty())
        throw OptionError("This attribute has no option list; \"" + choice.label + "\" is not one.");
    if (std::find(labels.begin(), labels.end(), choice.label) == labels.end())
        throw OptionError("The list \"" + choice.label + "\" is not this attribute's; its lists are " +
                          joined(labels) + ".");
    throw OptionError("\"" + choice.item + "\" is not an item of the list \"" + choice.label + "\"; its items are " +
                      joined(items) + ".");
}

} // namespace qln::viewer
