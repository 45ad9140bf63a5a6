#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qln::landsort::detail {

// Pieces compared by CompareLandUnits, and by the identifier sort of adoLandUnitSort.
inline constexpr int kComparePieces = 4;
inline constexpr int kRecordsetSortPieces = 3;

// Splits the first piece off identifier, which it shortens to what follows: a run of
// digits or a run of other characters; a "." or "-" after the first character ends the
// piece and is dropped. An empty identifier gives " " and stays empty.
// "12A-3" gives "12", then "A", then "3", then " ".
std::string ParseTheField(std::string& identifier);

// An identifier split once into its first four pieces, so that sorts compare pieces
// instead of splitting texts again on every comparison.
class ParsedIdentifier {
public:
    explicit ParsedIdentifier(std::string text);

    const std::string& text() const { return m_text; }

    // The comparison of CompareLandUnits over the first maxPieces pieces (1 to 4).
    static int compare(const ParsedIdentifier& a, const ParsedIdentifier& b, int maxPieces);

private:
    // A piece is a run of the text; length 0 stands for the blank of a used-up identifier.
    struct Piece {
        std::uint32_t begin = 0;
        std::uint32_t length = 0;
        std::uint32_t significant = 0;  // digit pieces: offset of the first non-zero digit
        bool digits = false;
    };

    std::string_view raw(int i) const;
    std::string_view upper(int i) const;
    // The digits without leading zeros: equal values give equal views.
    std::string_view value(int i) const;

    std::string m_text;
    std::string m_upper;
    std::array<Piece, kComparePieces> m_pieces{};
};

} // namespace qln::landsort::detail
