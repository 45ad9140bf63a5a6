#include "quillon/viewer/link/CommandLine.h"

#include "quillon/Text.h"
#include "quillon/desktop/ShortNames.h"

#include <filesystem>

namespace qln::viewer::link {

CommandLine ParseCommandLine(std::string_view text)
{
    CommandLine out;
    const std::string line = qln::trimBlanks(text);
    if (line.empty())
        return out;

    std::string_view inner = line;
    if (inner.size() >= 2 && inner.front() == '"' && inner.back() == '"')
        inner = inner.substr(1, inner.size() - 2);

    const std::size_t bar = inner.find('|');
    if (bar == std::string_view::npos || inner.find('|', bar + 1) != std::string_view::npos) {
        out.kind = CommandLine::Kind::WrongParts;
        return out;
    }
    out.ShapeDirectory = std::string(inner.substr(0, bar));
    out.attributePath = (std::filesystem::path(out.ShapeDirectory) / std::string(inner.substr(bar + 1))).string();
    const auto shortName = desktop::shortFileName(out.attributePath);
    if (!shortName) {
        out.kind = CommandLine::Kind::FileMissing;
        return out;
    }
    // The name without its last four characters (".dbf"); a name too short to have them
    // loses only what follows its last dot.
    const std::string& name = shortName->name;
    out.AttributeFileName = name.size() > 4 ? name.substr(0, name.size() - 4) : std::filesystem::path(name).stem().string();
    out.kind = CommandLine::Kind::Linked;
    return out;
}

} // namespace qln::viewer::link
