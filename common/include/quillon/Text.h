#pragma once

#include <string>
#include <string_view>

namespace qln {

// The text without the blanks (spaces) around it, as the rules and key columns are trimmed.
std::string trimBlanks(std::string_view text);

// The text with ASCII letters in lower case.
std::string lowerAscii(std::string_view text);

} // namespace qln
