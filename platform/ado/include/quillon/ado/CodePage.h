#pragma once

// Texts of a dBase attribute file turned into UTF-8 by the file's code page: the name in the
// .cpg beside it or, without one, the language byte of its header (shapelib reports either
// as DBFGetCodePage gives it: the .cpg's text, or "LDID/<n>").

#include <string>
#include <string_view>

namespace qln::ado {

// The iconv name of a code page as DBFGetCodePage reports it ("UTF-8", "1252", "ANSI 1252",
// "88591", "LDID/87", ...); "" when unknown or when nothing is reported.
std::string iconvName(std::string_view reported);

class TextDecoder {
public:
    // reported: DBFGetCodePage's text, or nullptr. An unknown code page reads UTF-8 texts as
    // they are and anything else as Windows-1252, what survey files without one carry.
    explicit TextDecoder(const char* reported);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    // The text in UTF-8; bytes the code page does not define become U+FFFD.
    std::string decode(std::string_view bytes);
    // What the reader went by, for a layer's properties ("CP1252 (language byte 87)").
    const std::string& description() const { return m_description; }

private:
    std::string convert(std::string_view bytes, void* converter);

    void* m_iconv = nullptr;     // iconv_t of the file's code page; null: UTF-8 or unknown
    void* m_fallback = nullptr;  // Windows-1252, for unknown code pages
    bool m_utf8 = false;
    std::string m_description;
};

} // namespace qln::ado
