#include "quillon/Text.h"

namespace qln {

std::string trimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string lowerAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

std::string formatReportDate(std::string_view text)
{
    const auto digits = [&](std::size_t from, std::size_t count) {
        for (std::size_t i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
        }
        return true;
    };
    if (text.size() < 10 || !digits(0, 4) || text[4] != '-' || !digits(5, 2) || text[7] != '-' || !digits(8, 2))
        return std::string(text);
    return std::string(text.substr(5, 2)) + "/" + std::string(text.substr(8, 2)) + "/" + std::string(text.substr(0, 4));
}

} // namespace qln
