// The help book's pages and its search index.

#include "HelpIndex.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

namespace {

namespace fs = std::filesystem;
using namespace qln::help;

const fs::path kPages = fs::path(QUILLON_SOURCE_DIR) / "data" / "help" / "pages";

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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

TEST(HelpIndex, PageTextDropsMarkupAndDecodesReferences)
{
    EXPECT_EQ(pageText("<p>Clay &amp; silt<br>loam</p>"), " Clay & silt loam ");
    EXPECT_EQ(pageText("a<!-- <b>hidden</b> -->b<script>var x = '<p>';</script>c"), "a b c");
    EXPECT_EQ(pageText("<STYLE>p { }</STYLE>x&#233;&#xE9;&nbsp;&bogus;"),  " x\xC3\xA9\xC3\xA9 &bogus;");
    EXPECT_EQ(pageText("unclosed <b"), "unclosed  ");
    EXPECT_EQ(pageTitle("<html><head><TITLE>\n  Soil &amp;\n  Water </title></head>"), "Soil & Water");
    EXPECT_EQ(pageTitle("<p>no title</p>"), "");
}

TEST(HelpIndex, WordsAreLowerCasedWithCommonWordsAndSingleLettersLeftOut)
{
    EXPECT_EQ(words("The Weighted-Average of a 60 % component, and pH."),
              (std::vector<std::string>{"weighted", "average", "60", "component", "ph"}));
    EXPECT_EQ(words("Sol \xC3\xA9tude"), (std::vector<std::string>{"sol", "\xC3\xA9tude"}));
}

TEST(HelpIndex, IndexListsPagesThenWordsWithTheHighestScoreFirst)
{
    const std::vector<Page> pages = {
        {"b.html", "<title>Methods</title><p>Dominant soil, dominant condition.</p>"},
        {"a.html", "<title>Start</title><h2>Soil</h2><p>Choose a database.</p><script>dominant</script>"},
    };
    EXPECT_EQ(searchIndex(pages),
              "P\ta.html\tStart\n"
              "P\tb.html\tMethods\n"
              "W\tchoose\ta.html:1\n"
              "W\tcondition\tb.html:1\n"
              "W\tdatabase\ta.html:1\n"
              "W\tdominant\tb.html:2\n"
              "W\tmethods\tb.html:10\n"
              "W\tsoil\ta.html:5\tb.html:1\n"
              "W\tstart\ta.html:10\n");
    EXPECT_EQ(headingText("<H1>One</H1><p>x</p><h3 id=\"a\">Two <b>three</b></h3><h4>four</h4>"), "One Two  three  ");
}

TEST(HelpBook, EveryLinkAndAnchorResolvesAndEveryPageIsReachable)
{
    const std::regex href(R"re(href="([^"]*)")re");
    const std::regex id(R"re(id="([^"]*)")re");
    std::set<std::string> linkedFromContents;
    for (const auto& name : pageNames()) {
        const auto html = readFile(kPages / name);
        EXPECT_FALSE(pageTitle(html).empty()) << name << " has no title";
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
    const auto text = pageText(readFile(kPages / "troubleshooting.html"));
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

TEST(HelpBook, SearchFindsTheMethodsPageFirstForAMethodName)
{
    std::vector<Page> pages;
    for (const auto& name : pageNames()) pages.push_back({name, readFile(kPages / name)});
    const auto index = searchIndex(pages);
    EXPECT_NE(index.find("\nW\tweighted\tmethods.html:"), std::string::npos);
    EXPECT_NE(index.find("\nW\thydric\tmethods.html:"), std::string::npos);
    EXPECT_NE(index.find("P\ttroubleshooting.html\tMessages and troubleshooting\n"), std::string::npos);
}
