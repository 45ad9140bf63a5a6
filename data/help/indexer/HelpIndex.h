#pragma once

// The search index of the help book: which pages hold which words.
//   pageText(html)     the readable text of a page (tags, scripts and styles removed,
//                      character references decoded)
//   pageTitle(html)    the text of its <title>
//   searchIndex(pages) the index as text, one line per page and per word:
//                        P <tab> file <tab> title
//                        W <tab> word <tab> file:count <tab> file:count ...
//                      words lower-cased, pages of a word by count (highest first), then name

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qln::help {

std::string pageText(std::string_view html);
std::string pageTitle(std::string_view html);
// Lower-cased words of two or more letters or digits, common English words left out.
std::vector<std::string> words(std::string_view text);

struct Page {
    std::string file;
    std::string html;
};
std::string searchIndex(const std::vector<Page>& pages);

} // namespace qln::help
