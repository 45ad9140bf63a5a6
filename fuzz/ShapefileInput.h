#pragma once

// One fuzz input that stands for the files of a shapefile: .shp, .shx, .dbf and .cpg, in
// that order, joined by a separator. An input with fewer pieces leaves the later files out.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace qln::fuzz {

inline constexpr std::string_view kFileSeparator = "\n@@next-file@@\n";
inline constexpr std::array<std::string_view, 4> kShapefileExtensions = {".shp", ".shx", ".dbf", ".cpg"};

// The pieces of an input by extension; a piece beyond the fourth stays part of the .cpg.
inline std::array<std::optional<std::string_view>, 4> splitShapefileInput(std::string_view input)
{
    std::array<std::optional<std::string_view>, 4> pieces;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::size_t end = i + 1 < pieces.size() ? input.find(kFileSeparator) : std::string_view::npos;
        pieces[i] = input.substr(0, end);
        if (end == std::string_view::npos)
            break;
        input.remove_prefix(end + kFileSeparator.size());
    }
    return pieces;
}

inline std::string joinShapefileInput(std::string_view shp, std::string_view shx, std::string_view dbf,
                                      std::optional<std::string_view> cpg)
{
    std::string input;
    input.append(shp).append(kFileSeparator).append(shx).append(kFileSeparator).append(dbf);
    if (cpg)
        input.append(kFileSeparator).append(*cpg);
    return input;
}

} // namespace qln::fuzz
