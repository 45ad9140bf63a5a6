#include "Shape.h"

#include "quillon/Error.h"

#include <algorithm>
#include <array>

namespace qln::ado::detail {
namespace {

// Deeper nesting is refused so that a hostile text cannot exhaust the stack.
constexpr int kMaxNesting = 64;
// Error messages quote short commands whole and long ones around the faulty place.
constexpr std::size_t kQuoteWhole = 240;
constexpr std::size_t kQuoteSide = 100;

// Words that end a bare name; quote or bracket a column or alias that is spelled like one.
constexpr std::array<std::string_view, 5> kReserved{"SHAPE", "APPEND", "RELATE", "AS", "TO"};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isWordChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
        || c == '$' || c == '#' || c == '@' || u >= 0x80;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

bool isReserved(std::string_view word)
{
    return std::any_of(kReserved.begin(), kReserved.end(), [&](auto r) { return equalsNoCase(word, r); });
}

// Control characters become spaces so that the message stays on one line.
std::string printable(std::string_view text)
{
    std::string out(text);
    std::replace_if(out.begin(), out.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    return out;
}

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The command text for a message: whole when short, else the neighbourhood of `at` cut on
// character boundaries.
std::string quoteAround(std::string_view text, std::size_t at)
{
    if (text.size() <= kQuoteWhole)
        return "\"" + printable(text) + "\"";
    std::size_t begin = at > kQuoteSide ? at - kQuoteSide : 0;
    std::size_t end = std::min(text.size(), at + kQuoteSide);
    while (begin > 0 && isContinuationByte(text[begin]))
        --begin;
    while (end < text.size() && isContinuationByte(text[end]))
        ++end;
    return std::string(begin > 0 ? "..." : "") + "\"" + printable(text.substr(begin, end - begin)) + "\""
        + (end < text.size() ? "..." : "") + " (characters " + std::to_string(begin + 1) + " to "
        + std::to_string(end) + " of " + std::to_string(text.size()) + ")";
}

// Recursive descent over a cursor into the text; every rule skips the blanks before it.
class Parser {
public:
    explicit Parser(std::string_view text) : m_text(text) {}

    ShapeCommand parse()
    {
        ShapeCommand command = shape();
        skipSpace();
        if (m_pos < m_text.size())
            expected("',' or the end of the command");
        return command;
    }

private:
    // SHAPE {sql} [[AS] alias] APPEND child [, child ...]
    ShapeCommand shape()
    {
        skipSpace();
        const std::size_t start = m_pos;
        expectWord("SHAPE");
        if (m_depth == kMaxNesting)
            fail("SHAPE commands nest deeper than " + std::to_string(kMaxNesting) + " levels", start);
        ++m_depth;
        ShapeCommand command;
        command.sql = sql();
        command.alias = alias();
        expectWord("APPEND");
        std::vector<std::size_t> starts;
        do {
            skipSpace();
            starts.push_back(m_pos);
            command.children.push_back(child());
        } while (accept(','));
        nameChapters(command.children, starts);
        --m_depth;
        return command;
    }

    // ({sql} [[AS] alias] | (SHAPE ...) [[AS] alias]  RELATE a TO b [, c TO d ...]) [[AS] alias]
    ShapeCommand::Child child()
    {
        ShapeCommand::Child result;
        expect('(', "'(' opening an appended child");
        if (accept('(')) {
            result.command = shape();
            expect(')', "',' or ')' closing the nested SHAPE command");
            if (std::string outer = alias(); !outer.empty())
                result.command.alias = std::move(outer);
        } else {
            result.command.sql = sql();
            result.command.alias = alias();
        }
        expectWord("RELATE");
        do {
            ShapeCommand::Relation relation;
            relation.parentColumn = name("the parent's column");
            expectWord("TO");
            relation.childColumn = name("the child's column");
            result.relations.push_back(std::move(relation));
        } while (accept(','));
        expect(')', "',' or ')' after the relation");
        result.alias = alias();
        return result;
    }

    // Chapter names: the outer alias, else the child's own, else Chapter1, Chapter2... as
    // far as free; two chapters of one name would make the parent's fields ambiguous.
    void nameChapters(std::vector<ShapeCommand::Child>& children, const std::vector<std::size_t>& starts) const
    {
        for (auto& c : children)
            if (c.alias.empty())
                c.alias = c.command.alias;
        const auto taken = [&](std::string_view n) {
            return std::any_of(children.begin(), children.end(), [&](auto& c) { return equalsNoCase(c.alias, n); });
        };
        int next = 0;
        for (auto& c : children)
            while (c.alias.empty())
                if (std::string candidate = "Chapter" + std::to_string(++next); !taken(candidate))
                    c.alias = std::move(candidate);
        for (std::size_t i = 1; i < children.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (equalsNoCase(children[i].alias, children[j].alias))
                    fail("The chapter name '" + children[i].alias + "' is used twice", starts[i]);
    }

    // The provider command between braces, verbatim. Braces inside quoted strings or
    // [names] do not count; unquoted ones nest, as in {fn NOW()}.
    std::string sql()
    {
        expect('{', "'{' opening an SQL statement");
        const std::size_t open = m_pos - 1;
        std::size_t i = m_pos;
        for (int depth = 1; depth > 0;) {
            if (i >= m_text.size()) {
                m_pos = i;
                expected("'}' closing the SQL statement opened at character " + std::to_string(open + 1));
            }
            const char c = m_text[i];
            if (c == '\'' || c == '"' || c == '[') {
                i = closeQuote(i, c == '[' ? "name" : "string");
            } else {
                depth += c == '{' ? 1 : c == '}' ? -1 : 0;
                ++i;
            }
        }
        const std::string_view text = m_text.substr(open + 1, i - open - 2);
        if (std::all_of(text.begin(), text.end(), isSpace)) {
            m_pos = open + 1;
            expected("an SQL statement inside the braces");
        }
        m_pos = i;
        return std::string(text);
    }

    // [[AS] name]; without AS only a name that is no keyword counts as an alias.
    std::string alias()
    {
        if (acceptWord("AS"))
            return name("an alias after AS");
        const char c = peek();
        if (c == '\'' || c == '[' || (isWordChar(c) && !isReserved(wordHere())))
            return name("an alias");
        return {};
    }

    // A bare word, a 'quoted' name ('' is a quote) or a [bracketed] name (]] is a bracket).
    std::string name(const std::string& what)
    {
        skipSpace();
        const std::size_t start = m_pos;
        std::string result;
        if (const char c = peek(); c == '\'' || c == '[') {
            const char close = c == '[' ? ']' : '\'';
            m_pos = closeQuote(start, "name");
            for (std::size_t i = start + 1; i + 1 < m_pos; ++i) {
                result += m_text[i];
                if (m_text[i] == close)
                    ++i;
            }
        } else if (!isReserved(wordHere())) {
            result = std::string(wordHere());
            m_pos += result.size();
        }
        if (result.empty()) {
            m_pos = start;
            expected(what);
        }
        return result;
    }

    // Position after the quote closing the one at `open`; a doubled closing quote is a
    // quote character inside.
    std::size_t closeQuote(std::size_t open, std::string_view kind)
    {
        const char close = m_text[open] == '[' ? ']' : m_text[open];
        for (std::size_t i = open + 1; i < m_text.size(); ++i) {
            if (m_text[i] != close)
                continue;
            if (i + 1 < m_text.size() && m_text[i + 1] == close)
                ++i;
            else
                return i + 1;
        }
        m_pos = m_text.size();
        expected(std::string("the closing ") + close + " of the " + std::string(kind) + " opened at character "
                 + std::to_string(open + 1));
    }

    void skipSpace()
    {
        while (m_pos < m_text.size() && isSpace(m_text[m_pos]))
            ++m_pos;
    }

    char peek()
    {
        skipSpace();
        return m_pos < m_text.size() ? m_text[m_pos] : '\0';
    }

    std::string_view wordHere()
    {
        skipSpace();
        std::size_t end = m_pos;
        while (end < m_text.size() && isWordChar(m_text[end]))
            ++end;
        return m_text.substr(m_pos, end - m_pos);
    }

    bool accept(char c)
    {
        if (peek() != c)
            return false;
        ++m_pos;
        return true;
    }

    void expect(char c, const std::string& what)
    {
        if (!accept(c))
            expected(what);
    }

    bool acceptWord(std::string_view word)
    {
        if (!equalsNoCase(wordHere(), word))
            return false;
        m_pos += word.size();
        return true;
    }

    void expectWord(std::string_view word)
    {
        if (!acceptWord(word))
            expected("'" + std::string(word) + "'");
    }

    [[noreturn]] void expected(const std::string& what) const
    {
        std::string found = "the end of the text";
        if (m_pos < m_text.size()) {
            std::size_t end = m_pos + 1;
            while (end < m_text.size() && end - m_pos < 30
                   && (isContinuationByte(m_text[end]) || (isWordChar(m_text[m_pos]) && isWordChar(m_text[end]))))
                ++end;
            found = "\"" + printable(m_text.substr(m_pos, end - m_pos)) + "\"";
        }
        fail("Expected " + what + " but found " + found, m_pos);
    }

    [[noreturn]] void fail(const std::string& problem, std::size_t at) const
    {
        throw EngineError(kProviderError, "MSDataShape",
                          problem + " at character " + std::to_string(at + 1) + " of the SHAPE command "
                              + quoteAround(m_text, at));
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_depth = 0;
};

} // namespace

bool isShapeCommand(std::string_view text)
{
    const std::size_t start = std::min(text.find_first_not_of(" \t\n\r\f\v"), text.size());
    const std::string_view rest = text.substr(start);
    return rest.size() >= 5 && equalsNoCase(rest.substr(0, 5), "SHAPE") && (rest.size() == 5 || !isWordChar(rest[5]));
}

ShapeCommand parseShapeCommand(std::string_view text)
{
    return Parser(text).parse();
}

} // namespace qln::ado::detail
