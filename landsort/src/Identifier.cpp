#include "Identifier.h"

namespace qln::landsort::detail {
namespace {

constexpr std::string_view kBlank = " ";

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

struct Split {
    std::size_t length;  // characters of the piece
    std::size_t next;    // where the rest of the identifier starts
};

// The first piece of a non-empty text: the first character decides the piece's kind; a
// character of the other kind starts the next piece, a "." or "-" ends it and is dropped.
Split splitPiece(std::string_view text)
{
    const bool digits = isDigit(text.front());
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' || c == '-')
            return {i, i + 1};
        if (isDigit(c) != digits)
            return {i, i};
    }
    return {text.size(), text.size()};
}

// Sign of the comparison of two digit runs without leading zeros, by numeric value.
int compareValues(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

std::string ParseTheField(std::string& identifier)
{
    if (identifier.empty())
        return std::string(kBlank);
    const Split split = splitPiece(identifier);
    std::string piece = identifier.substr(0, split.length);
    identifier.erase(0, split.next);
    return piece;
}

ParsedIdentifier::ParsedIdentifier(std::string text) : m_text(std::move(text)), m_upper(m_text)
{
    for (char& c : m_upper)
        c = upperAscii(c);
    std::size_t at = 0;
    for (Piece& piece : m_pieces) {
        if (at >= m_text.size())
            break;  // the remaining pieces stay blank
        const Split split = splitPiece(std::string_view(m_text).substr(at));
        piece.begin = static_cast<std::uint32_t>(at);
        piece.length = static_cast<std::uint32_t>(split.length);
        piece.digits = isDigit(m_text[at]);
        if (piece.digits) {
            std::size_t first = at;
            while (first < at + split.length && m_text[first] == '0')
                ++first;
            piece.significant = static_cast<std::uint32_t>(first);
        }
        at += split.next;
    }
}

std::string_view ParsedIdentifier::raw(int i) const
{
    const Piece& piece = m_pieces[static_cast<std::size_t>(i)];
    return piece.length == 0 ? kBlank : std::string_view(m_text).substr(piece.begin, piece.length);
}

std::string_view ParsedIdentifier::upper(int i) const
{
    const Piece& piece = m_pieces[static_cast<std::size_t>(i)];
    return piece.length == 0 ? kBlank : std::string_view(m_upper).substr(piece.begin, piece.length);
}

std::string_view ParsedIdentifier::value(int i) const
{
    const Piece& piece = m_pieces[static_cast<std::size_t>(i)];
    return std::string_view(m_text).substr(piece.significant, piece.begin + piece.length - piece.significant);
}

int ParsedIdentifier::compare(const ParsedIdentifier& a, const ParsedIdentifier& b, int maxPieces)
{
    if (a.m_text == b.m_text)
        return 0;
    for (int i = 0; i < maxPieces; ++i) {
        if (a.raw(i) == b.raw(i))
            continue;
        const auto& pa = a.m_pieces[static_cast<std::size_t>(i)];
        const auto& pb = b.m_pieces[static_cast<std::size_t>(i)];
        // Pieces that differ but are equal in value or upper-case text give -1 either way
        // round: such identifiers keep their order in a sort.
        if (pa.digits && pb.digits)
            return compareValues(a.value(i), b.value(i)) > 0 ? 1 : -1;
        return a.upper(i) > b.upper(i) ? 1 : -1;
    }
    return 0;
}

} // namespace qln::landsort::detail
