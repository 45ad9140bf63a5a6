#include "DateText.h"

#include <charconv>
#include <chrono>

namespace qln::landsort::detail {
namespace {

// Reads an unsigned number of 1 to maxDigits digits at text[at], moving at past it.
std::optional<int> readNumber(std::string_view text, std::size_t& at, std::size_t maxDigits)
{
    std::size_t end = at;
    while (end < text.size() && end - at < maxDigits && text[end] >= '0' && text[end] <= '9')
        ++end;
    if (end == at)
        return std::nullopt;
    int value = 0;
    std::from_chars(text.data() + at, text.data() + end, value);
    at = end;
    return value;
}

bool expect(std::string_view text, std::size_t& at, char c)
{
    if (at < text.size() && text[at] == c) {
        ++at;
        return true;
    }
    return false;
}

// "HH:MM[:SS]" as a fraction of a day; the text must end after it.
std::optional<double> readTime(std::string_view text, std::size_t at)
{
    const auto hours = readNumber(text, at, 2);
    if (!hours || !expect(text, at, ':'))
        return std::nullopt;
    const auto minutes = readNumber(text, at, 2);
    if (!minutes)
        return std::nullopt;
    int seconds = 0;
    if (expect(text, at, ':')) {
        const auto read = readNumber(text, at, 2);
        if (!read)
            return std::nullopt;
        seconds = *read;
    }
    if (at != text.size() || *hours > 23 || *minutes > 59 || seconds > 59)
        return std::nullopt;
    return (*hours * 3600 + *minutes * 60 + seconds) / 86400.0;
}

} // namespace

std::optional<double> parseDateText(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    std::size_t at = 0;
    std::optional<int> year, month, day;
    const auto first = readNumber(text, at, 4);
    if (!first)
        return std::nullopt;
    const bool iso = at == 4 && expect(text, at, '-');
    if (iso) {
        year = first;
        month = readNumber(text, at, 2);
        if (!expect(text, at, '-'))
            return std::nullopt;
        day = readNumber(text, at, 2);
    } else if (expect(text, at, '/')) {
        month = first;
        day = readNumber(text, at, 2);
        if (!expect(text, at, '/'))
            return std::nullopt;
        const std::size_t yearStart = at;
        year = readNumber(text, at, 4);
        if (at - yearStart != 4)
            return std::nullopt;
    }
    if (!year || !month || !day)
        return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{std::chrono::year{*year}, std::chrono::month{static_cast<unsigned>(*month)},
                              std::chrono::day{static_cast<unsigned>(*day)}};
    if (!date.ok())
        return std::nullopt;
    const double days = (sys_days{date} - sys_days{1899y / December / 30}).count();
    if (at == text.size())
        return days;
    if (text[at] != ' ' && !(iso && text[at] == 'T'))
        return std::nullopt;
    const auto time = readTime(text, at + 1);
    if (!time)
        return std::nullopt;
    return days + *time;
}

} // namespace qln::landsort::detail
