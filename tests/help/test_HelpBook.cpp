// The help book's pages, as the viewer's help window reads them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <cstring>
#include <regex>
#include <set>

namespace {

namespace fs = std::filesystem;

const fs::path kPages = fs::path(QUILLON_SOURCE_DIR) / "data" / "help" / "pages";

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The page's text as a reader sees it: markup dropped, blanks collapsed, the few
// character references the pages use decoded.
std::string visibleText(const std::string& html)
{
    std::string text = std::regex_replace(html, std::regex("<[^>]*>"), " ");
    for (const auto& [from, to] : {std::pair<const char*, const char*>{"&amp;", "&"}, {"&gt;", ">"}, {"&lt;", "<"},
                                   {"&middot;", "-"}, {"&times;", "x"}}) {
        for (std::size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, std::strlen(from), to);
    }
    return text;
}

std::string title(const std::string& html)
{
    std::smatch match;
    return std::regex_search(html, match, std::regex("<title>([^<]*)</title>")) ? match[1].str() : "";
}

std::vector<std::string> pageNames()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kPages))
        if (entry.path().extension() == ".html") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> matches(const std::string& text, const std::regex& pattern)
{
    std::vector<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) found.push_back((*it)[1]);
    return found;
}

} // namespace

TEST(HelpBook, EveryLinkAndAnchorResolvesAndEveryPageIsReachable)
{
    const std::regex href(R"re(href="([^"]*)")re");
    const std::regex id(R"re(id="([^"]*)")re");
    std::set<std::string> linkedFromContents;
    for (const auto& name : pageNames()) {
        const auto html = readFile(kPages / name);
        EXPECT_FALSE(title(html).empty()) << name << " has no title";
        // The keywords the help window's index tab lists.
        EXPECT_TRUE(std::regex_search(html, std::regex(R"re(<meta\s+name="keywords"\s+content="[^"]+")re")))
            << name << " has no keywords";
        for (const auto& link : matches(html, href)) {
            ASSERT_EQ(link.find("://"), std::string::npos) << name << " links outside the book: " << link;
            const auto hash = link.find('#');
            const std::string file = link.substr(0, hash);
            ASSERT_TRUE(fs::exists(kPages / file)) << name << " links to a missing page: " << link;
            if (hash != std::string::npos) {
                const auto ids = matches(readFile(kPages / file), id);
                EXPECT_NE(std::find(ids.begin(), ids.end(), link.substr(hash + 1)), ids.end())
                    << name << " links to a missing anchor: " << link;
            }
            if (name == "contents.html") linkedFromContents.insert(file);
        }
    }
    for (const auto& name : pageNames()) {
        if (name != "contents.html") {
            EXPECT_TRUE(linkedFromContents.count(name)) << name << " is not in the contents";
        }
    }
}

TEST(HelpBook, TroubleshootingQuotesEveryStartUpMessageAsShown)
{
    // A box shows its lines one below the other; the page breaks them with <br>.
    const auto text = visibleText(std::regex_replace(readFile(kPages / "troubleshooting.html"), std::regex("<br>"), ""));
    for (const char* message : {
             "Quillon is already running.",
             "Too many instances of ArcView are running.  Close all but one ArcView to use Quillon.",
             "Unable to start the Message Reporting Utility.  Contact the Help Desk or your support person.",
             "Fatal Message - Quillon",
             "Unable to query the registry for",
             "Unable to find the file",
             "Unable to locate the Legend files in",
             "ODBC Data source name (DSN)",
             "Error occurred populating interpretation list.  Contact the Help Desk or your support person.",
             "Quillon requires 2 arguments:",
             "1) Pathname of directory containing shapefile",
             "2) Filename of attribute file containing MUSYM data",
             "There are no valid soil databases in current default folder.  Select valid database on Options Tab.",
             "Registry Notify Change value not available",
             "System Information Is Unavailable At This Time",
         })
        EXPECT_NE(text.find(message), std::string::npos) << message;
}
