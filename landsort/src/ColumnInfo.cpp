#include "ColumnInfo.h"

#include "Errors.h"
#include "quillon/Tokens.h"

#include <optional>

namespace qln::landsort::detail {
namespace {

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

std::optional<SortTypes> typeOfLetter(std::string_view letter, Letters letters)
{
    if (letter == "R")
        return sRegular;
    if (letter == "N")
        return snonRegular;
    if (letters == Letters::Recordset)
        return std::nullopt;
    if (letter == "S")
        return sString;
    if (letter == "D")
        return sDate;
    if (letter == "I")
        return sInteger;
    if (letter == "F")
        return sFloat;
    return std::nullopt;
}

} // namespace

std::vector<ColumnEntry> parseColumnInfo(std::string_view iColInfo, Letters letters, std::string_view source)
{
    const int count = CountTokens(iColInfo, "|");
    if (count == 0)
        raise(eWrongNumberColumnParameters, std::string(source),
              "The column specification is empty: expected entries such as name,N|symbol,R.");
    std::vector<ColumnEntry> entries;
    for (int position = 1; position <= count; ++position) {
        const std::string entry = getToken(iColInfo, "|", position);
        const std::string where = "column " + std::to_string(position);
        if (CountTokens(entry, ",") != 2 || entry.back() == ',')
            raise(eWrongNumberColumnParameters, std::string(source),
                  "Entry for " + where + " must be a column name and a type letter separated by \",\": \"" +
                      entry + "\"");
        const std::string name(trimBlanks(getToken(entry, ",", 1)));
        const std::string letter(trimBlanks(getToken(entry, ",", 2)));
        if (name.empty())
            raise(eColumnInvalid, std::string(source), "Entry for " + where + " has no column name: \"" + entry + "\"");
        const auto type = typeOfLetter(letter, letters);
        if (!type)
            raise(eSecondParameterInvalid, std::string(source),
                  "2nd Parameter for " + where +
                      (letters == Letters::Recordset ? " MUST be N or R." : " MUST be R, N, S, D, I or F."));
        entries.push_back({name, *type});
    }
    return entries;
}

} // namespace qln::landsort::detail
