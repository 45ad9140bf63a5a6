#include "quillon/reporter/Format.h"

#include <algorithm>

namespace qln::reporter {

std::vector<std::string> splitInserts(std::int32_t count, std::string_view text)
{
    std::vector<std::string> inserts;
    if (count <= 0) return inserts;
    count = std::min(count, kMaxInserts);
    if (text.starts_with('|')) text.remove_prefix(1);
    while (static_cast<std::int32_t>(inserts.size()) + 1 < count) {
        const auto bar = text.find('|');
        if (bar == std::string_view::npos) break;
        inserts.emplace_back(text.substr(0, bar));
        text.remove_prefix(bar + 1);
    }
    inserts.emplace_back(text);
    inserts.resize(static_cast<std::size_t>(count));
    return inserts;
}

std::string formatMessage(std::string_view stored, const std::vector<std::string>& inserts)
{
    std::string out;
    out.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const char c = stored[i];
        if (c == '\r' && i + 1 < stored.size() && stored[i + 1] == '\n') {
            out += '\n';
            ++i;
            continue;
        }
        if (c != '%' || i + 1 == stored.size()) {
            out += c;
            continue;
        }
        const char next = stored[++i];
        if (next == '0') return out;
        if (next >= '1' && next <= '9') {
            std::size_t number = static_cast<std::size_t>(next - '0');
            const std::size_t start = i - 1;
            if (i + 1 < stored.size() && stored[i + 1] >= '0' && stored[i + 1] <= '9')
                number = number * 10 + static_cast<std::size_t>(stored[++i] - '0');
            if (number <= inserts.size())
                out += inserts[number - 1];
            else
                out += stored.substr(start, i + 1 - start);
            continue;
        }
        switch (next) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'b':
        case ' ': out += ' '; break;
        case '%':
        case '.':
        case '!': out += next; break;
        default:
            out += '%';
            out += next;
        }
    }
    return out;
}

} // namespace qln::reporter
