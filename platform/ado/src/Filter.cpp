#include "Filter.h"

#include "Table.h"
#include "quillon/Error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <compare>

namespace qln::ado::detail {

namespace {

enum class Op { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual, Like };

// Nesting deeper than this is refused so that no text can exhaust the stack.
constexpr int kMaxDepth = 200;

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Letters, digits and _ make up bare names; bytes of UTF-8 sequences count as letters.
bool isNameChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return isDigit(c) || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || u >= 0x80;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

// Texts ordered byte by byte with ASCII letters folded, as ADO compares texts in filters.
std::strong_ordering compareIgnoringCase(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(lower(a[i]));
        const auto y = static_cast<unsigned char>(lower(b[i]));
        if (x != y)
            return x <=> y;
    }
    return a.size() <=> b.size();
}

// Index just past the UTF-8 character that starts at i.
std::size_t nextChar(std::string_view text, std::size_t i)
{
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
        ++i;
    return i;
}

// LIKE with '*' or '%' for any run and '_' or '?' for one character; the pattern is
// already in lower case. Greedy with one back-up point, so no allocation and no recursion.
bool likeMatch(std::string_view text, std::string_view pattern)
{
    std::size_t t = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) {
            starPattern = ++p;
            starText = t;
        } else if (p < pattern.size() && (pattern[p] == '_' || pattern[p] == '?')) {
            t = nextChar(text, t);
            ++p;
        } else if (p < pattern.size() && pattern[p] == lower(text[t])) {
            ++t;
            ++p;
        } else if (starPattern != std::string_view::npos) {
            starText = nextChar(text, starText);
            t = starText;
            p = starPattern;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%'))
        ++p;
    return p == pattern.size();
}

std::partial_ordering compareNumbers(double a, double b)
{
    return a <=> b;
}

// Reads the digits at text[i..]; count is how many were read.
long long readDigits(std::string_view text, std::size_t& i, int& count)
{
    long long value = 0;
    count = 0;
    while (i < text.size() && isDigit(text[i]) && count < 9) {
        value = value * 10 + (text[i] - '0');
        ++i;
        ++count;
    }
    return value;
}

void skipBlanks(std::string_view text, std::size_t& i)
{
    while (i < text.size() && isBlank(text[i]))
        ++i;
}

// "2024-03-01", "2024/3/1" or "3/1/2024" (month first; two-digit years 00-29 are
// 2000-2029, 30-99 are 1930-1999), then optionally "H:MM[:SS] [AM|PM]".
std::optional<Date> parseDate(std::string_view text)
{
    std::size_t i = 0;
    skipBlanks(text, i);
    int n1 = 0, n2 = 0, n3 = 0;
    const long long a = readDigits(text, i, n1);
    if (n1 == 0 || i >= text.size() || (text[i] != '-' && text[i] != '/'))
        return std::nullopt;
    const char separator = text[i++];
    const long long b = readDigits(text, i, n2);
    if (n2 == 0 || i >= text.size() || text[i] != separator)
        return std::nullopt;
    ++i;
    const long long c = readDigits(text, i, n3);
    if (n3 == 0)
        return std::nullopt;
    long long year = 0, month = 0, day = 0;
    if (n1 == 4) {
        year = a;
        month = b;
        day = c;
    } else if (separator == '/' && (n3 == 4 || n3 <= 2)) {
        month = a;
        day = b;
        year = n3 <= 2 ? (c < 30 ? 2000 + c : 1900 + c) : c;
    } else {
        return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, static_cast<int>(month)))
        return std::nullopt;

    double seconds = 0.0;
    skipBlanks(text, i);
    if (i < text.size()) {
        int nh = 0, nm = 0, ns = 0;
        long long hour = readDigits(text, i, nh);
        if (nh == 0 || nh > 2 || i >= text.size() || text[i] != ':')
            return std::nullopt;
        ++i;
        const long long minute = readDigits(text, i, nm);
        if (nm != 2)
            return std::nullopt;
        long long second = 0;
        if (i < text.size() && text[i] == ':') {
            ++i;
            second = readDigits(text, i, ns);
            if (ns != 2)
                return std::nullopt;
        }
        skipBlanks(text, i);
        if (i + 2 <= text.size()) {
            const std::string_view suffix = text.substr(i, 2);
            const bool am = equalsIgnoringCase(suffix, "AM");
            if (!am && !equalsIgnoringCase(suffix, "PM"))
                return std::nullopt;
            if (hour < 1 || hour > 12)
                return std::nullopt;
            hour = hour % 12 + (am ? 0 : 12);
            i += 2;
            skipBlanks(text, i);
        }
        if (i != text.size() || hour > 23 || minute > 59 || second > 59)
            return std::nullopt;
        seconds = static_cast<double>(hour * 3600 + minute * 60 + second);
    }
    return Date::at({year, static_cast<int>(month), static_cast<int>(day)}, seconds);
}

int findField(const std::vector<FieldInfo>& fields, std::string_view name)
{
    for (std::size_t f = 0; f < fields.size(); ++f) {
        if (equalsIgnoringCase(fields[f].name, name))
            return static_cast<int>(f);
    }
    return -1;
}

// Reads a bare or [bracketed] field name at i and resolves it; the caller names the text.
class NameReader {
public:
    NameReader(std::string_view text, const std::vector<FieldInfo>& fields,
               std::string_view source, std::string_view what)
        : m_text(text), m_fields(fields), m_source(source), m_what(what)
    {
    }

    [[noreturn]] void fail(const std::string& problem) const
    {
        throw EngineError(adErrInvalidArgument, std::string(m_source),
                          "Invalid " + std::string(m_what) + " text \"" + std::string(m_text) +
                              "\": " + problem);
    }

    [[noreturn]] void failAt(const std::string& problem, std::size_t index) const
    {
        fail(problem + " at position " + std::to_string(index + 1));
    }

    int readField(std::size_t& i) const
    {
        skipBlanks(m_text, i);
        std::string_view name;
        if (i < m_text.size() && m_text[i] == '[') {
            const std::size_t close = m_text.find(']', i + 1);
            if (close == std::string_view::npos)
                failAt("unterminated [field name]", i);
            name = m_text.substr(i + 1, close - i - 1);
            if (name.find_first_not_of(" \t") == std::string_view::npos)
                failAt("empty [field name]", i);
            i = close + 1;
        } else {
            const std::size_t start = i;
            if (i >= m_text.size() || isDigit(m_text[i]) || !isNameChar(m_text[i]))
                failAt("expected a field name", i);
            while (i < m_text.size() && isNameChar(m_text[i]))
                ++i;
            name = m_text.substr(start, i - start);
        }
        const int field = findField(m_fields, name);
        if (field < 0)
            fail("unknown field [" + std::string(name) + "]");
        if (m_fields[static_cast<std::size_t>(field)].type == adChapter)
            fail("the chapter field [" + std::string(name) + "] holds no comparable values");
        return field;
    }

    // True (and i moved past it) when the word stands at i, not as part of a longer name.
    bool readKeyword(std::size_t& i, std::string_view word) const
    {
        if (i + word.size() > m_text.size() || !equalsIgnoringCase(m_text.substr(i, word.size()), word))
            return false;
        if (i + word.size() < m_text.size() && isNameChar(m_text[i + word.size()]))
            return false;
        i += word.size();
        return true;
    }

protected:
    std::string_view m_text;
    const std::vector<FieldInfo>& m_fields;
    std::string_view m_source;
    std::string_view m_what;
};

} // namespace

// A comparison, or an AND / OR of two or more children.
struct FilterExpression::Node {
    enum class Kind { Compare, And, Or };
    Kind kind = Kind::Compare;
    std::vector<Node> children;

    int field = 0;
    Op op = Op::Equal;
    bool nullTest = false;              // "= Null" or "<> Null"
    bool indexable = false;             // an equality the hash index answers exactly
    Variant value;
    std::optional<double> number;       // the value as a number, when it is one
    std::string text;                   // the value as text; LIKE patterns in lower case
};

namespace {

using Node = FilterExpression::Node;

class FilterParser : public NameReader {
public:
    FilterParser(std::string_view text, const std::vector<FieldInfo>& fields)
        : NameReader(text, fields, "Recordset.Filter", "filter")
    {
    }

    Node parseAll()
    {
        std::size_t i = 0;
        Node root = parseOr(i, 0);
        skipBlanks(m_text, i);
        if (i < m_text.size()) {
            if (m_text[i] == ')')
                failAt("unbalanced )", i);
            failAt("unexpected text", i);
        }
        return root;
    }

private:
    Node parseOr(std::size_t& i, int depth)
    {
        return parseJoined(i, depth, Node::Kind::Or, "OR");
    }

    Node parseAnd(std::size_t& i, int depth)
    {
        return parseJoined(i, depth, Node::Kind::And, "AND");
    }

    Node parseJoined(std::size_t& i, int depth, Node::Kind kind, std::string_view word)
    {
        Node first = kind == Node::Kind::Or ? parseAnd(i, depth) : parsePrimary(i, depth);
        Node joined;
        joined.kind = kind;
        for (;;) {
            skipBlanks(m_text, i);
            if (!readKeyword(i, word))
                break;
            if (joined.children.empty())
                joined.children.push_back(std::move(first));
            joined.children.push_back(kind == Node::Kind::Or ? parseAnd(i, depth) : parsePrimary(i, depth));
        }
        return joined.children.empty() ? std::move(first) : std::move(joined);
    }

    Node parsePrimary(std::size_t& i, int depth)
    {
        skipBlanks(m_text, i);
        if (i < m_text.size() && m_text[i] == '(') {
            const std::size_t open = i++;
            if (depth >= kMaxDepth)
                failAt("parentheses nested too deeply", open);
            Node inner = parseOr(i, depth + 1);
            skipBlanks(m_text, i);
            if (i >= m_text.size() || m_text[i] != ')')
                failAt("missing ) for the (", open);
            ++i;
            return inner;
        }
        return parseComparison(i);
    }

    Node parseComparison(std::size_t& i)
    {
        Node node;
        node.field = readField(i);
        skipBlanks(m_text, i);
        node.op = readOperator(i);
        skipBlanks(m_text, i);
        const std::size_t valueStart = i;
        node.value = readValue(i);
        if (node.value.isNull()) {
            if (node.op != Op::Equal && node.op != Op::NotEqual)
                failAt("Null can only be compared with = or <>", valueStart);
            node.nullTest = true;
            return node;
        }
        if (node.op == Op::Like) {
            if (!node.value.isText())
                failAt("LIKE needs a 'text' pattern", valueStart);
            node.text = node.value.str();
            std::transform(node.text.begin(), node.text.end(), node.text.begin(), lower);
            return node;
        }
        node.number = node.value.number();
        node.text = node.value.text();
        node.indexable = node.op == Op::Equal &&
                         isIndexable(node.value, m_fields[static_cast<std::size_t>(node.field)]);
        return node;
    }

    // The index keys Booleans and Dates by number although they also equal their texts,
    // and TRUE/FALSE equal any nonzero/zero number here: such tests are answered by scanning.
    static bool isIndexable(const Variant& value, const FieldInfo& field)
    {
        switch (value.kind()) {
        case Variant::Kind::Integer:
        case Variant::Kind::Double:
            return true;
        case Variant::Kind::Text:
            return field.type != adDate && field.type != adBoolean;
        default:
            return false;
        }
    }

    Op readOperator(std::size_t& i)
    {
        const auto rest = m_text.substr(std::min(i, m_text.size()));
        auto take = [&](std::size_t n, Op op) {
            i += n;
            return op;
        };
        if (rest.starts_with("<>"))
            return take(2, Op::NotEqual);
        if (rest.starts_with("<="))
            return take(2, Op::LessEqual);
        if (rest.starts_with(">="))
            return take(2, Op::GreaterEqual);
        if (rest.starts_with("="))
            return take(1, Op::Equal);
        if (rest.starts_with("<"))
            return take(1, Op::Less);
        if (rest.starts_with(">"))
            return take(1, Op::Greater);
        if (readKeyword(i, "LIKE"))
            return Op::Like;
        failAt("expected a comparison operator (=, <>, <, >, <=, >=, LIKE)", i);
    }

    Variant readValue(std::size_t& i)
    {
        if (i >= m_text.size())
            failAt("expected a value", i);
        const char c = m_text[i];
        if (c == '\'')
            return readQuoted(i);
        if (c == '#') {
            const std::size_t close = m_text.find('#', i + 1);
            if (close == std::string_view::npos)
                failAt("unterminated #date#", i);
            const auto date = parseDate(m_text.substr(i + 1, close - i - 1));
            if (!date)
                failAt("invalid date " + std::string(m_text.substr(i, close - i + 1)), i);
            i = close + 1;
            return *date;
        }
        if (isDigit(c) || c == '.' || c == '+' || c == '-')
            return readNumber(i);
        if (readKeyword(i, "Null"))
            return Variant::null();
        if (readKeyword(i, "TRUE"))
            return true;
        if (readKeyword(i, "FALSE"))
            return false;
        failAt("expected a value", i);
    }

    Variant readQuoted(std::size_t& i)
    {
        const std::size_t open = i++;
        std::string value;
        for (;;) {
            const std::size_t quote = m_text.find('\'', i);
            if (quote == std::string_view::npos)
                failAt("unterminated 'text'", open);
            value.append(m_text.substr(i, quote - i));
            i = quote + 1;
            if (i < m_text.size() && m_text[i] == '\'') {
                value.push_back('\'');
                ++i;
                continue;
            }
            return value;
        }
    }

    Variant readNumber(std::size_t& i)
    {
        const std::size_t start = i;
        if (m_text[i] == '+' || m_text[i] == '-')
            ++i;
        std::size_t digits = 0;
        while (i < m_text.size() && isDigit(m_text[i])) {
            ++i;
            ++digits;
        }
        bool whole = true;
        if (i < m_text.size() && m_text[i] == '.') {
            whole = false;
            ++i;
            while (i < m_text.size() && isDigit(m_text[i])) {
                ++i;
                ++digits;
            }
        }
        if (digits == 0)
            failAt("expected a value", start);
        if (i < m_text.size() && (m_text[i] == 'e' || m_text[i] == 'E')) {
            whole = false;
            ++i;
            if (i < m_text.size() && (m_text[i] == '+' || m_text[i] == '-'))
                ++i;
            if (i >= m_text.size() || !isDigit(m_text[i]))
                failAt("invalid number", start);
            while (i < m_text.size() && isDigit(m_text[i]))
                ++i;
        }
        if (i < m_text.size() && (isNameChar(m_text[i]) || m_text[i] == '.'))
            failAt("invalid number", start);

        std::string_view number = m_text.substr(start, i - start);
        if (number.front() == '+')
            number.remove_prefix(1);
        const char* first = number.data();
        const char* last = first + number.size();
        if (whole) {
            std::int64_t value = 0;
            const auto result = std::from_chars(first, last, value);
            if (result.ec == std::errc() && result.ptr == last)
                return Variant(static_cast<long long>(value));
        }
        double value = 0;
        const auto result = std::from_chars(first, last, value);
        if (result.ec != std::errc() || result.ptr != last || !std::isfinite(value))
            failAt("number out of range", start);
        return value;
    }
};

// Orders a field value against a comparison's value as qln::compare does, except that
// two texts compare without regard to case and TRUE/FALSE read any nonzero number as True.
// Never allocates for texts and numbers, the kinds filters meet row after row.
std::optional<std::partial_ordering> compareCell(const Variant& cell, const Node& node)
{
    const Variant& value = node.value;
    if (value.kind() == Variant::Kind::Boolean && cell.kind() != Variant::Kind::Date) {
        // Stores write True as 1 or -1: any nonzero number is True.
        if (const auto number = cell.number())
            return compareNumbers(*number != 0.0 ? -1.0 : 0.0, *node.number);
    }
    if (cell.isEmpty()) {
        if (value.isText())
            return compareIgnoringCase("", value.str());
        return compareNumbers(0.0, *node.number);
    }
    if (cell.isText()) {
        if (value.isText())
            return compareIgnoringCase(cell.str(), value.str());
        if (isNumericText(cell.str()))
            return compareNumbers(numericValue(cell.str()), *node.number);
        return compareIgnoringCase(cell.str(), node.text);
    }
    const double number = *cell.number();
    if (value.isText()) {
        if (node.number)
            return compareNumbers(number, *node.number);
        return compareIgnoringCase(cell.text(), value.str());
    }
    return compareNumbers(number, *node.number);
}

bool evaluate(const Node& node, const Table& table, std::uint32_t row)
{
    switch (node.kind) {
    case Node::Kind::And:
        return std::all_of(node.children.begin(), node.children.end(),
                           [&](const Node& child) { return evaluate(child, table, row); });
    case Node::Kind::Or:
        return std::any_of(node.children.begin(), node.children.end(),
                           [&](const Node& child) { return evaluate(child, table, row); });
    case Node::Kind::Compare:
        break;
    }
    const Variant& cell = table.columns[static_cast<std::size_t>(node.field)][row];
    if (node.nullTest)
        return cell.isNull() == (node.op == Op::Equal);
    if (cell.isNull())
        return false;
    if (node.op == Op::Like) {
        if (cell.isText())
            return likeMatch(cell.str(), node.text);
        if (cell.isEmpty())
            return likeMatch("", node.text);
        return likeMatch(cell.text(), node.text);
    }
    const auto order = compareCell(cell, node);
    if (!order)
        return false;
    switch (node.op) {
    case Op::Equal:
        return *order == 0;
    case Op::NotEqual:
        return *order != 0;
    case Op::Less:
        return *order < 0;
    case Op::Greater:
        return *order > 0;
    case Op::LessEqual:
        return *order <= 0;
    case Op::GreaterEqual:
        return *order >= 0;
    case Op::Like:
        break;
    }
    return false;
}

} // namespace

FilterExpression FilterExpression::parse(std::string_view text, const std::vector<FieldInfo>& fields)
{
    FilterExpression expression;
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return expression;
    expression.m_root = std::make_unique<Node>(FilterParser(text, fields).parseAll());
    return expression;
}

FilterExpression::FilterExpression() = default;
FilterExpression::~FilterExpression() = default;
FilterExpression::FilterExpression(FilterExpression&&) noexcept = default;
FilterExpression& FilterExpression::operator=(FilterExpression&&) noexcept = default;

bool FilterExpression::matchesAll() const
{
    return !m_root;
}

bool FilterExpression::matches(const Table& table, std::uint32_t row) const
{
    return !m_root || evaluate(*m_root, table, row);
}

std::optional<FilterExpression::Equality> FilterExpression::singleEquality() const
{
    if (!m_root || m_root->kind != Node::Kind::Compare || !m_root->indexable)
        return std::nullopt;
    return Equality{m_root->field, m_root->value};
}

namespace {

// Rank of a value's kind in sort orders: Null, Empty, numbers, texts.
int sortRank(const Variant& value)
{
    if (value.isNull())
        return 0;
    if (value.isEmpty())
        return 1;
    return value.isText() ? 3 : 2;
}

// A total order, so that sorting stays well defined even on columns of mixed kinds:
// numbers by value (NaN first), texts without regard to case.
std::strong_ordering sortOrder(const Variant& a, const Variant& b)
{
    const int rankA = sortRank(a);
    const int rankB = sortRank(b);
    if (rankA != rankB)
        return rankA <=> rankB;
    if (rankA == 3)
        return compareIgnoringCase(a.str(), b.str());
    if (rankA == 2) {
        const double x = *a.number();
        const double y = *b.number();
        if (std::isnan(x) || std::isnan(y))
            return std::isnan(y) <=> std::isnan(x);
        return x < y ? std::strong_ordering::less
                     : (y < x ? std::strong_ordering::greater : std::strong_ordering::equal);
    }
    return std::strong_ordering::equal;
}

} // namespace

std::vector<SortKey> parseSort(std::string_view text, const std::vector<FieldInfo>& fields)
{
    std::vector<SortKey> keys;
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return keys;
    const NameReader reader(text, fields, "Recordset.Sort", "sort");
    std::size_t i = 0;
    for (;;) {
        SortKey key{reader.readField(i), false};
        skipBlanks(text, i);
        if (reader.readKeyword(i, "DESC"))
            key.descending = true;
        else
            reader.readKeyword(i, "ASC");
        keys.push_back(key);
        skipBlanks(text, i);
        if (i == text.size())
            return keys;
        if (text[i] != ',')
            reader.failAt("expected , ASC or DESC", i);
        ++i;
    }
}

bool sortLess(const Table& table, const std::vector<SortKey>& keys, std::uint32_t a, std::uint32_t b)
{
    for (const SortKey& key : keys) {
        const auto& column = table.columns[static_cast<std::size_t>(key.field)];
        const auto order = sortOrder(column[a], column[b]);
        if (order != 0)
            return key.descending ? order > 0 : order < 0;
    }
    return false;
}

} // namespace qln::ado::detail
