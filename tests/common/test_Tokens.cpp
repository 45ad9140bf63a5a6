#include "quillon/SqlText.h"
#include "quillon/Text.h"
#include "quillon/Tokens.h"

#include <gtest/gtest.h>

using qln::CountTokens;
using qln::getToken;

TEST(Tokens, CountIgnoresOneTrailingDelimiter)
{
    EXPECT_EQ(CountTokens("", "|"), 0);
    EXPECT_EQ(CountTokens("a", "|"), 1);
    EXPECT_EQ(CountTokens("a|b", "|"), 2);
    EXPECT_EQ(CountTokens("a|b|", "|"), 2);
    EXPECT_EQ(CountTokens("|", "|"), 1);
    EXPECT_EQ(CountTokens("a||b", "|"), 3);
}

TEST(Tokens, GetTokenClampsItsPosition)
{
    EXPECT_EQ(getToken("0.1|*pct", "|", 1), "0.1");
    EXPECT_EQ(getToken("0.1|*pct", "|", 2), "*pct");
    EXPECT_EQ(getToken("0.1|*pct", "|", 0), "0.1");
    EXPECT_EQ(getToken("0.1|*pct", "|", 9), "*pct");
    EXPECT_EQ(getToken("alone", "|", 3), "alone");
    EXPECT_EQ(getToken("a||c", "|", 2), "");
    EXPECT_EQ(getToken("a, b, c", ", ", 3), "c");
}

TEST(Tokens, AddTokenJoinsAfterTheFirst)
{
    std::string list;
    qln::addToken(list, "'1'", ",");
    qln::addToken(list, "'2'", ",");
    qln::addToken(list, "'3'", ",");
    EXPECT_EQ(list, "'1','2','3'");
}

TEST(SqlText, QuotesAreDoubledAndNamesChecked)
{
    EXPECT_EQ(qln::escapeQuotes("O'Brien's"), "O''Brien''s");
    EXPECT_EQ(qln::escapeQuotes("'); DROP TABLE x; --"), "''); DROP TABLE x; --");
    EXPECT_TRUE(qln::isPlainName("Drain_DS"));
    EXPECT_TRUE(qln::isPlainName("Map Unit"));
    EXPECT_FALSE(qln::isPlainName("1col"));
    EXPECT_FALSE(qln::isPlainName("x;DROP"));
    EXPECT_FALSE(qln::isPlainName(""));
}

TEST(Text, TrimsBlanksOnlyAndLowersAsciiOnly)
{
    EXPECT_EQ(qln::trimBlanks("  Yes \t "), "Yes \t");
    EXPECT_EQ(qln::trimBlanks("   "), "");
    EXPECT_EQ(qln::lowerAscii("SINGLE Single"), "single single");
    EXPECT_EQ(qln::lowerAscii("\xC3\x89t\xC3\xA9"), "\xC3\x89t\xC3\xA9");  // no bytes of UTF-8 changed
}
