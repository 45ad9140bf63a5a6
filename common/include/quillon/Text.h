#pragma once

#include <string>
#include <string_view>

namespace qln {

// The text without the blanks (spaces) around it, as the rules and key columns are trimmed.
std::string trimBlanks(std::string_view text);

// The text with ASCII letters in lower case.
std::string lowerAscii(std::string_view text);

// A date as reports print it, "mm/dd/yyyy", from a value whose text begins "yyyy-mm-dd" (a date
// field or an ISO text); any other text is returned as it stands, Empty and Null as "".
std::string formatReportDate(std::string_view text);

} // namespace qln
