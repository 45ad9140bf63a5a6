#include "quillon/viewer/link/LinkTexts.h"

namespace qln::viewer::link {

std::string RunScriptCommand(std::string_view script, std::string_view argument)
{
    std::string out = "av.run(\"";
    out += script;
    out += "\", \"";
    out += argument;
    out += "\" )";
    return out;
}

std::string DisplayCommand(std::string_view argument)
{
    return RunScriptCommand(kDisplayScript, argument);
}

std::string CleanupCommand()
{
    return RunScriptCommand(kCleanupScript, "");
}

std::string DisplayArgument(std::string_view column, std::string_view title, bool useAvlFile,
                            std::string_view legendFolder, std::string_view avlFileName)
{
    std::string out(column);
    out += '|';
    out += title;
    out += '|';
    if (useAvlFile) {
        out += legendFolder;
        out += '/';
        out += avlFileName;
    } else {
        out += kDynamicLegend;
    }
    return out;
}

std::string ThemeTitle(std::string_view themeName, std::string_view methodText, bool optionList,
                       std::string_view optionItem)
{
    std::string title(themeName);
    if (!methodText.empty()) {
        title += " - ";
        title += methodText;
    }
    if (optionList) {
        title += '(';
        title += optionItem;
        title += ')';
    }
    return title;
}

} // namespace qln::viewer::link
