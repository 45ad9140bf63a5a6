#include "PgSql.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

namespace qln::ado::detail {
namespace {

bool isWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

template <typename Number>
bool readNumber(std::string_view text, std::size_t& at, Number& value)
{
    while (at < text.size() && text[at] == ' ')
        ++at;
    const auto result = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (result.ec != std::errc())
        return false;
    at = static_cast<std::size_t>(result.ptr - text.data());
    return true;
}

std::string twoDigits(int value)
{
    return std::string(1, static_cast<char>('0' + value / 10 % 10)) + static_cast<char>('0' + value % 10);
}

// The body of an Access date literal as "YYYY-MM-DD HH:MM:SS": ISO dates, or the US form
// month/day/year with an optional time (AM/PM allowed). Empty when it is neither.
std::string dateLiteral(std::string_view body)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::size_t at = 0;
    int first = 0;
    if (!readNumber(body, at, first) || at >= body.size())
        return {};
    const char separator = body[at++];
    int middle = 0, last = 0;
    if (!readNumber(body, at, middle) || at >= body.size() || body[at++] != separator || !readNumber(body, at, last))
        return {};
    if (separator == '-') {
        year = first, month = middle, day = last;
    } else if (separator == '/') {
        month = first, day = middle, year = last;
    } else {
        return {};
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1 || year > 9999)
        return {};
    while (at < body.size() && (body[at] == ' ' || body[at] == 'T'))
        ++at;
    if (at < body.size()) {
        if (!readNumber(body, at, hour) || at >= body.size() || body[at++] != ':' || !readNumber(body, at, minute))
            return {};
        if (at < body.size() && body[at] == ':') {
            ++at;
            if (!readNumber(body, at, second))
                return {};
        }
        while (at < body.size() && body[at] == ' ')
            ++at;
        const std::string meridiem = upper(body.substr(at));
        if (meridiem == "PM" && hour < 12)
            hour += 12;
        else if (meridiem == "AM" && hour == 12)
            hour = 0;
        else if (!meridiem.empty() && meridiem != "AM" && meridiem != "PM")
            return {};
        if (hour > 23 || minute > 59 || second > 59)
            return {};
    }
    std::string yearText = std::to_string(year);
    yearText.insert(0, 4 - yearText.size(), '0');
    return yearText + "-" + twoDigits(month) + "-" + twoDigits(day) + " " + twoDigits(hour) + ":" + twoDigits(minute) +
           ":" + twoDigits(second);
}

// Words that begin a clause or a join where a table's alias could stand.
bool isClauseWord(std::string_view key)
{
    for (const char* word : {"WHERE", "ORDER", "GROUP", "HAVING", "LIMIT", "OFFSET", "FOR", "JOIN", "INNER", "LEFT",
                             "RIGHT", "FULL", "CROSS", "NATURAL", "ON", "USING", "UNION", "EXCEPT", "INTERSECT",
                             "WINDOW"})
        if (key == word)
            return true;
    return false;
}

// Functions that fold the rows of a query into one.
bool isAggregate(std::string_view key)
{
    for (const char* word : {"COUNT", "SUM", "MIN", "MAX", "AVG", "TOTAL", "GROUP_CONCAT", "STRING_AGG", "ARRAY_AGG",
                             "BOOL_AND", "BOOL_OR", "EVERY"})
        if (key == word)
            return true;
    return false;
}

// Where the ORDER BY of one nesting level stands while its items are copied.
struct OrderBy {
    int depth = 0;
    std::string lastWord;  // the last word of the current item, upper case
};

} // namespace

std::string translateAccessSql(std::string_view sql)
{
    std::string out;
    out.reserve(sql.size() + 32);
    int depth = 0;
    std::vector<OrderBy> orders;
    std::string previousWord;  // the word just before, upper case; empty after any other token

    auto closeItem = [&] {
        OrderBy& order = orders.back();
        // Trailing blanks stay after the added words.
        std::size_t end = out.size();
        while (end > 0 && std::isspace(static_cast<unsigned char>(out[end - 1])))
            --end;
        const std::string tail = out.substr(end);
        out.resize(end);
        out += order.lastWord == "DESC" ? " NULLS LAST" : " NULLS FIRST";
        out += tail;
        order.lastWord.clear();
    };
    auto inOrder = [&] { return !orders.empty() && orders.back().depth == depth; };
    // The outer query's rows come in the order in which SQLite's plan meets them, and its
    // ORDER BY (a stable sort) leaves ties in that order. The server promises no order at
    // all (a hash join or a synchronised scan may start anywhere), so that order is written
    // out: a table searched by a constant is met first, in stored order; then one searched
    // by an IN list, by key (its index order), in stored order within a key; then the
    // scanned tables in FROM order, each in stored order. The stored order is the row's
    // place (ctid), which is SQLite's row order in a schema quillon-import loaded and
    // nobody has changed since. Ties of an ORDER BY are broken that way, and a query
    // without one gets one. Not for DISTINCT, grouped or aggregated queries.
    std::string clause;  // the current clause keyword of the outer query
    bool firstWord = true;
    bool isSelect = false;
    bool rowOrder = true;   // whether the outer query's rows can be put in SQLite's order
    bool ordered = false;   // whether the outer query has an ORDER BY of its own
    bool finished = false;  // past the end of the outer query's statement
    std::size_t tailAt = std::string::npos;  // where its LIMIT, OFFSET or FOR begins in `out`
    bool aliasMayFollow = false;  // right after a table of the FROM list
    // The parenthesis depths at which subqueries began: while any is open, the words are
    // not the outer query's.
    std::vector<int> subqueries;
    std::vector<std::string> fromTables, listSearched, constantSearched;
    std::string qualifier, qualified;  // "t" and "t.c" of the last t.c seen
    bool afterDot = false;
    char lastSymbol = 0;  // the last character that was no blank and no part of a word
    auto sameName = [](std::string_view a, std::string_view b) { return upper(a) == upper(b); };
    auto tableOf = [](const std::string& column) { return column.substr(0, column.find('.')); };
    // ", k1, k2..." putting the rows in the order SQLite's plan meets them.
    auto rowOrderKeys = [&] {
        std::vector<std::string> tables;
        auto add = [&](const std::string& table) {
            const auto has = [&](const std::string& t) { return sameName(t, table); };
            if (std::any_of(fromTables.begin(), fromTables.end(), has) &&
                std::none_of(tables.begin(), tables.end(), has))
                tables.push_back(table);
        };
        for (const auto& table : constantSearched)
            add(table);
        for (const auto& column : listSearched)
            add(tableOf(column));
        for (const auto& table : fromTables)
            add(table);
        std::string keys;
        for (const auto& table : tables) {
            for (const auto& column : listSearched)
                if (sameName(tableOf(column), table))
                    keys += ", " + column + " COLLATE \"C\"";
            keys += fromTables.size() == 1 ? ", ctid" : ", " + table + ".ctid";
        }
        return keys;
    };
    auto trimmedEnd = [&] {
        std::size_t end = out.size();
        while (end > 0 && std::isspace(static_cast<unsigned char>(out[end - 1])))
            --end;
        return end;
    };
    auto closeOrder = [&] {
        closeItem();
        if (orders.back().depth == 0 && rowOrder && !finished)
            out.insert(trimmedEnd(), rowOrderKeys());
        orders.pop_back();
    };
    // The end of the outer query's statement: an ORDER BY for one that has none.
    auto finishStatement = [&] {
        if (finished)
            return;
        finished = true;
        if (!isSelect || ordered || !rowOrder || fromTables.empty())
            return;
        const std::string keys = rowOrderKeys();
        if (tailAt == std::string::npos)
            out.insert(trimmedEnd(), " ORDER BY" + keys.substr(1));
        else
            out.insert(tailAt, " ORDER BY" + keys.substr(1));
    };

    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            std::size_t j = i + 1;
            while (j < sql.size()) {
                if (sql[j] == c) {
                    if (j + 1 < sql.size() && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            j = j < sql.size() ? j + 1 : j;
            out.append(sql.substr(i, j - i));
            if (inOrder())
                orders.back().lastWord = "?";
            previousWord.clear();
            i = j;
            continue;
        }
        if (c == '[') {
            const auto close = sql.find(']', i + 1);
            if (close != std::string_view::npos) {
                out += '"';
                for (const char n : sql.substr(i + 1, close - i - 1)) {
                    out += n;
                    if (n == '"')
                        out += '"';
                }
                out += '"';
                if (inOrder())
                    orders.back().lastWord = "?";
                i = close + 1;
                continue;
            }
        }
        if (c == '#') {
            const auto close = sql.find('#', i + 1);
            if (close != std::string_view::npos) {
                if (const std::string date = dateLiteral(sql.substr(i + 1, close - i - 1)); !date.empty()) {
                    out += "TIMESTAMP '" + date + "'";
                    if (inOrder())
                        orders.back().lastWord = "?";
                    i = close + 1;
                    continue;
                }
            }
        }
        if (c == '&') {
            out += "||";
            ++i;
            continue;
        }
        if (c == '(') {
            // IN () matches nothing; PostgreSQL refuses an empty list.
            std::size_t j = i + 1;
            while (j < sql.size() && std::isspace(static_cast<unsigned char>(sql[j])))
                ++j;
            if (j < sql.size() && sql[j] == ')' && previousWord == "IN") {
                out += "(NULL)";
                i = j + 1;
                continue;
            }
            ++depth;
            out += c;
            ++i;
            continue;
        }
        if (c == ')') {
            if (inOrder())
                closeOrder();
            --depth;
            if (!subqueries.empty() && depth < subqueries.back())
                subqueries.pop_back();
            out += c;
            ++i;
            continue;
        }
        if (c == '.' && i > 0 && isWordChar(sql[i - 1])) {
            std::size_t k = i;
            while (k > 0 && isWordChar(sql[k - 1]))
                --k;
            qualifier = std::string(sql.substr(k, i - k));
            afterDot = true;
            out += c;
            ++i;
            continue;
        }
        // Only the outer query's searches decide its order: a subquery's tables are not in
        // its FROM list.
        if (c == '=' && subqueries.empty() && clause == "WHERE" && !qualified.empty()) {
            std::size_t j = i + 1;
            while (j < sql.size() && sql[j] == ' ')
                ++j;
            if (j < sql.size() && (sql[j] == '\'' || std::isdigit(static_cast<unsigned char>(sql[j]))))
                constantSearched.push_back(qualified.substr(0, qualified.find('.')));
        }
        if (c == ',' && inOrder()) {
            closeItem();
            out += c;
            ++i;
            continue;
        }
        if (c == ';' && depth == 0) {
            if (inOrder())
                closeOrder();
            finishStatement();
            out += c;
            ++i;
            continue;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) && (previousWord == "WHERE" || previousWord == "AND" ||
                                                            previousWord == "OR" || previousWord == "NOT")) {
            // A number standing as a condition ("WHERE 0") is a truth value, as in SQLite.
            std::size_t j = i;
            while (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j])))
                ++j;
            std::size_t next = j;
            while (next < sql.size() && std::isspace(static_cast<unsigned char>(sql[next])))
                ++next;
            std::size_t wordEnd = next;
            while (wordEnd < sql.size() && isWordChar(sql[wordEnd]))
                ++wordEnd;
            const std::string following = upper(sql.substr(next, wordEnd - next));
            if (next == sql.size() || sql[next] == ')' || sql[next] == ';' || following == "AND" || following == "OR" ||
                following == "ORDER" || following == "GROUP" || following == "LIMIT" || following == "UNION") {
                out += sql.substr(i, j - i).find_first_not_of('0') == std::string_view::npos ? "FALSE" : "TRUE";
                previousWord.clear();
                i = j;
                continue;
            }
        }
        if (isWordChar(c) && !std::isdigit(static_cast<unsigned char>(c))) {
            std::size_t j = i;
            while (j < sql.size() && isWordChar(sql[j]))
                ++j;
            const std::string_view word = sql.substr(i, j - i);
            const std::string key = upper(word);
            const bool endsOrder = key == "LIMIT" || key == "OFFSET" || key == "UNION" || key == "EXCEPT" ||
                                   key == "INTERSECT" || key == "FOR";
            if (inOrder() && endsOrder)
                closeOrder();
            std::size_t next = j;
            while (next < sql.size() && std::isspace(static_cast<unsigned char>(sql[next])))
                ++next;
            if (depth == 0 && !finished) {
                if (firstWord)
                    isSelect = key == "SELECT";
                firstWord = false;
                if (clause == "FROM" && (previousWord == "FROM" || lastSymbol == ',')) {
                    fromTables.emplace_back(word);
                    aliasMayFollow = true;
                } else if (aliasMayFollow && key != "AS") {
                    // "FROM mapunit m": the table is named by its alias from here on.
                    if (!isClauseWord(key))
                        fromTables.back() = std::string(word);
                    aliasMayFollow = false;
                }
                if (key == "SELECT" || key == "FROM" || key == "WHERE" || key == "ORDER")
                    clause = key;
                if (key == "ORDER")
                    ordered = true;
                if ((key == "LIMIT" || key == "OFFSET" || key == "FOR") && tailAt == std::string::npos)
                    tailAt = trimmedEnd();
                if (key == "DISTINCT" || key == "GROUP" || key == "JOIN" || key == "UNION" || key == "EXCEPT" ||
                    key == "INTERSECT" || key == "HAVING" ||
                    (clause == "SELECT" && next < sql.size() && sql[next] == '(' && isAggregate(key)))
                    rowOrder = false;
            }
            if (key == "SELECT" && depth > 0)
                subqueries.push_back(depth);
            if (key == "IN" && subqueries.empty() && !qualified.empty() && clause == "WHERE")
                listSearched.push_back(qualified);
            qualified = afterDot ? qualifier + "." + std::string(word) : std::string();
            afterDot = false;
            lastSymbol = 0;
            // An alias keeps its letter case, as SQLite gives it ("FALSE AS Selected"); not
            // a type name of CAST(x AS type).
            const bool alias = previousWord == "AS" && (next == sql.size() || (sql[next] != ')' && sql[next] != '('));
            if (key == "LIKE")
                out += "ILIKE";
            else if (alias)
                out += "\"" + std::string(word) + "\"";
            else
                out.append(word);
            if (key == "BY" && previousWord == "ORDER")
                orders.push_back(OrderBy{depth, {}});
            else if (inOrder())
                orders.back().lastWord = key;
            previousWord = key;
            i = j;
            continue;
        }
        if (!std::isspace(static_cast<unsigned char>(c)) && inOrder())
            orders.back().lastWord = "?";
        out += c;
        if (!std::isspace(static_cast<unsigned char>(c))) {
            previousWord.clear();
            lastSymbol = c;
            afterDot = false;
            aliasMayFollow = false;
            if (c != '=')
                qualified.clear();
        }
        ++i;
    }
    while (!orders.empty()) {
        if (orders.back().depth == depth)
            closeOrder();
        else
            orders.pop_back();
    }
    finishStatement();
    return out;
}

} // namespace qln::ado::detail
