#include "quillon/Tokens.h"

namespace qln {

int CountTokens(std::string_view text, std::string_view delimiter)
{
    if (text.empty())
        return 0;
    if (delimiter.empty())
        return 1;
    int count = 0;
    std::size_t last = std::string_view::npos;
    for (std::size_t pos = text.find(delimiter); pos != std::string_view::npos;
         pos = text.find(delimiter, pos + delimiter.size())) {
        ++count;
        last = pos;
    }
    if (last != std::string_view::npos && last == text.size() - 1)
        return count;
    return count + 1;
}

std::string getToken(std::string_view text, std::string_view delimiter, int n)
{
    if (n < 1)
        n = 1;
    if (delimiter.empty())
        return std::string(text);
    std::string_view rest = text;
    for (int cut = 0;;) {
        const auto pos = rest.find(delimiter);
        if (pos == std::string_view::npos)
            return std::string(rest);
        const std::string_view token = rest.substr(0, pos);
        rest.remove_prefix(pos + delimiter.size());
        if (++cut == n)
            return std::string(token);
    }
}

void addToken(std::string& list, std::string_view token, std::string_view delimiter)
{
    if (list.empty()) {
        list = token;
        return;
    }
    list += delimiter;
    list += token;
}

} // namespace qln
