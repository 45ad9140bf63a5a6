#include "quillon/SqlText.h"

#include <cctype>

namespace qln {

std::string escapeQuotes(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        result += c;
        if (c == '\'')
            result += '\'';
    }
    return result;
}

std::string quoteIdentifier(std::string_view name)
{
    std::string quoted = "\"";
    for (const char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

bool isPlainName(std::string_view name)
{
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name.front())) || name.front() == ' ')
        return false;
    for (const char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != ' ')
            return false;
    }
    return true;
}

} // namespace qln
