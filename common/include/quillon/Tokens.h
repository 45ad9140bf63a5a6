#pragma once

#include <string>
#include <string_view>

namespace qln {

// Number of delimiter-separated tokens: the delimiter count, plus one unless the text ends
// with the delimiter; 0 for an empty text.
int CountTokens(std::string_view text, std::string_view delimiter);

// The n-th token (1-based); n below 1 gives the first, n past the end the last token.
// A text without the delimiter is its own single token.
std::string getToken(std::string_view text, std::string_view delimiter, int n);

// Appends a token to a list: an empty list takes it unchanged, otherwise it follows the
// delimiter.
void addToken(std::string& list, std::string_view token, std::string_view delimiter);

} // namespace qln
