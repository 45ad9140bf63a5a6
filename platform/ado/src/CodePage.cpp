#include "quillon/ado/CodePage.h"

#include "quillon/Text.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <optional>
#include <utility>

namespace qln::ado {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(std::intptr_t {-1});

// dBase language drivers and the code pages they stand for.
constexpr std::array<std::pair<int, const char*>, 59> kLanguageDrivers {{
    {1, "CP437"},   {2, "CP850"},   {3, "CP1252"},  {4, "MACINTOSH"}, {8, "CP865"},   {9, "CP437"},
    {10, "CP850"},  {11, "CP437"},  {13, "CP437"},  {14, "CP850"},    {15, "CP437"},  {16, "CP850"},
    {17, "CP437"},  {18, "CP850"},  {19, "CP932"},  {20, "CP850"},    {21, "CP437"},  {22, "CP850"},
    {23, "CP865"},  {24, "CP437"},  {25, "CP437"},  {26, "CP850"},    {27, "CP437"},  {28, "CP863"},
    {29, "CP850"},  {31, "CP852"},  {34, "CP852"},  {35, "CP852"},    {36, "CP860"},  {37, "CP850"},
    {38, "CP866"},  {55, "CP850"},  {64, "CP852"},  {77, "CP936"},    {78, "CP949"},  {79, "CP950"},
    {80, "CP874"},  {87, "CP1252"}, {88, "CP1252"}, {89, "CP1252"},   {100, "CP852"}, {101, "CP866"},
    {102, "CP865"}, {103, "CP861"}, {106, "CP737"}, {107, "CP857"},   {108, "CP863"}, {120, "CP950"},
    {121, "CP949"}, {122, "CP936"}, {123, "CP932"}, {124, "CP874"},   {125, "CP1255"}, {126, "CP1256"},
    {200, "CP1250"}, {201, "CP1251"}, {202, "CP1254"}, {203, "CP1253"}, {204, "CP1257"},
}};

std::optional<int> wholeNumber(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool validUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

} // namespace

std::string iconvName(std::string_view reported)
{
    const std::string name = upper(trimBlanks(std::string(reported)));
    if (name.empty())
        return {};
    if (name.rfind("LDID/", 0) == 0) {
        const auto id = wholeNumber(std::string_view(name).substr(5));
        for (const auto& [driver, page] : kLanguageDrivers)
            if (id && *id == driver)
                return page;
        return {};
    }
    if (name == "UTF-8" || name == "UTF8" || name == "65001")
        return "UTF-8";
    std::string_view rest(name);
    if (rest.rfind("ANSI ", 0) == 0 || rest.rfind("OEM ", 0) == 0)
        rest.remove_prefix(rest.find(' ') + 1);
    if (rest.rfind("ISO", 0) == 0)
        rest.remove_prefix(rest.size() > 3 && (rest[3] == ' ' || rest[3] == '-' || rest[3] == '_') ? 4 : 3);
    if (const auto number = wholeNumber(rest)) {
        // 88591 and 28591 name ISO-8859-1 (the Windows code pages 2859x); others are CPnnn.
        const int n = *number;
        if (n >= 88591 && n <= 885916)
            return "ISO-8859-" + std::to_string(n >= 885910 ? n - 885900 : n - 88590);
        if (n >= 28591 && n <= 28606)
            return "ISO-8859-" + std::to_string(n - 28590);
        return "CP" + std::to_string(n);
    }
    if (rest.rfind("8859", 0) == 0 && rest.size() > 5 && (rest[4] == '-' || rest[4] == '_'))
        return "ISO-8859-" + std::string(rest.substr(5));
    return std::string(rest);
}

TextDecoder::TextDecoder(const char* reported)
{
    const std::string said = reported ? reported : "";
    const std::string name = iconvName(said);
    const std::string source = said.rfind("LDID/", 0) == 0 ? "language byte " + said.substr(5) : ".cpg \"" + said + "\"";
    if (name == "UTF-8") {
        m_utf8 = true;
        m_description = "UTF-8 (" + source + ")";
        return;
    }
    if (!name.empty()) {
        const iconv_t converter = iconv_open("UTF-8", name.c_str());
        if (converter != kNoConverter) {
            m_iconv = converter;
            m_description = name + " (" + source + ")";
            return;
        }
    }
    const iconv_t fallback = iconv_open("UTF-8", "CP1252");
    if (fallback != kNoConverter)
        m_fallback = fallback;
    m_description = said.empty() ? std::string("not given: UTF-8 where valid, else Windows-1252")
                                 : "unknown " + source + ": UTF-8 where valid, else Windows-1252";
}

TextDecoder::~TextDecoder()
{
    if (m_iconv)
        iconv_close(static_cast<iconv_t>(m_iconv));
    if (m_fallback)
        iconv_close(static_cast<iconv_t>(m_fallback));
}

std::string TextDecoder::decode(std::string_view bytes)
{
    bool ascii = true;
    for (const char c : bytes)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return std::string(bytes);
    if (m_iconv)
        return convert(bytes, m_iconv);
    if (m_utf8 || validUtf8(bytes))
        return validUtf8(bytes) ? std::string(bytes) : convert(bytes, nullptr);
    return convert(bytes, m_fallback);
}

std::string TextDecoder::convert(std::string_view bytes, void* converter)
{
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string out;
    if (!converter) {
        // Keeps the valid characters of broken UTF-8 and marks each stray byte.
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            std::size_t length = 1;
            const auto c = static_cast<unsigned char>(bytes[i]);
            if (c >= 0x80) {
                length = (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
                if (length == 0 || !validUtf8(bytes.substr(i, length))) {
                    out += kReplacement;
                    continue;
                }
            }
            out += bytes.substr(i, length);
            i += length - 1;
        }
        return out;
    }
    const auto handle = static_cast<iconv_t>(converter);
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    std::array<char, 256> buffer {};
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t result = iconv(handle, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // A byte the code page does not define (or a cut multi-byte character).
            out += kReplacement;
            ++in;
            --inLeft;
            iconv(handle, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

} // namespace qln::ado
