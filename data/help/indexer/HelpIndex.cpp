#include "HelpIndex.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace qln::help {

namespace {

const std::set<std::string, std::less<>> kCommonWords = {
    "an", "and", "are", "as", "at", "be", "by", "can", "do", "for", "from", "has", "have", "if", "in", "is",
    "it", "its", "of", "on", "or", "so", "that", "the", "then", "this", "to", "was", "when", "which", "with",
    "you", "your"};

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lower(text[i]) != prefix[i]) return false;
    return true;
}

// UTF-8 bytes of a code point.
std::string utf8(unsigned long code)
{
    std::string out;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x110000) {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
}

// A character reference at the front of text ("&amp;", "&#233;", "&#xE9;"): its text and
// length; an unknown one stands for itself.
std::pair<std::string, std::size_t> reference(std::string_view text)
{
    const auto end = text.find(';');
    if (end == std::string_view::npos || end > 10) return {"&", 1};
    const auto name = text.substr(1, end - 1);
    static const std::pair<std::string_view, std::string_view> named[] = {
        {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
    for (const auto& [key, value] : named)
        if (name == key) return {std::string(value), end + 1};
    if (name.size() > 1 && name[0] == '#') {
        const bool hexadecimal = name[1] == 'x' || name[1] == 'X';
        const auto digits = name.substr(hexadecimal ? 2 : 1);
        unsigned long code = 0;
        const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hexadecimal ? 16 : 10);
        if (ec == std::errc() && ptr == digits.data() + digits.size()) return {utf8(code), end + 1};
    }
    return {"&", 1};
}

// The position after the markup that starts at i: a tag, or a whole comment, script, style
// or title (what is never read; the title is the page's own entry).
std::size_t skipMarkup(std::string_view html, std::size_t i)
{
    static const std::pair<std::string_view, std::string_view> kSkipped[] = {
        {"<!--", "-->"}, {"<script", "</script>"}, {"<style", "</style>"}, {"<title", "</title>"}};
    for (const auto& [open, close] : kSkipped) {
        if (!startsWithNoCase(html.substr(i), open)) continue;
        std::size_t end = i + open.size();
        while (end < html.size() && !startsWithNoCase(html.substr(end), close)) ++end;
        return std::min(html.size(), end + close.size());
    }
    const auto end = html.find('>', i);
    return end == std::string_view::npos ? html.size() : end + 1;
}

} // namespace

std::string pageText(std::string_view html)
{
    std::string text;
    std::size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<') {
            i = skipMarkup(html, i);
            text += ' ';
        } else if (c == '&') {
            const auto [decoded, length] = reference(html.substr(i));
            text += decoded;
            i += length;
        } else {
            text += c;
            ++i;
        }
    }
    return text;
}

std::string pageTitle(std::string_view html)
{
    std::size_t start = 0;
    while (start < html.size() && !startsWithNoCase(html.substr(start), "<title")) ++start;
    if (start >= html.size()) return "";
    const auto open = html.find('>', start);
    if (open == std::string_view::npos) return "";
    std::size_t close = open + 1;
    while (close < html.size() && !startsWithNoCase(html.substr(close), "</title")) ++close;
    std::string title;
    for (const char c : pageText(html.substr(open + 1, close - open - 1)))
        if (!(c == ' ' && (title.empty() || title.back() == ' ')) && c != '\n' && c != '\t' && c != '\r') title += c;
    while (!title.empty() && title.back() == ' ') title.pop_back();
    return title;
}

std::vector<std::string> words(std::string_view text)
{
    std::vector<std::string> found;
    std::string word;
    auto flush = [&] {
        if (word.size() >= 2 && !kCommonWords.count(word)) found.push_back(word);
        word.clear();
    };
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || byte >= 0x80)
            word += lower(c);
        else
            flush();
    }
    flush();
    return found;
}

std::string searchIndex(const std::vector<Page>& pages)
{
    std::vector<Page> sorted = pages;
    std::sort(sorted.begin(), sorted.end(), [](const Page& a, const Page& b) { return a.file < b.file; });
    std::string out;
    std::map<std::string, std::map<std::string, int>> counts;
    for (const auto& page : sorted) {
        out += "P\t" + page.file + "\t" + pageTitle(page.html) + "\n";
        for (const auto& word : words(pageText(page.html))) ++counts[word][page.file];
        for (const auto& word : words(pageTitle(page.html))) ++counts[word][page.file];
    }
    for (const auto& [word, byPage] : counts) {
        std::vector<std::pair<std::string, int>> entries(byPage.begin(), byPage.end());
        std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        out += "W\t" + word;
        for (const auto& [file, count] : entries) out += "\t" + file + ":" + std::to_string(count);
        out += "\n";
    }
    return out;
}

} // namespace qln::help
