#pragma once

#include "quillon/Variant.h"
#include "quillon/ado/Types.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qln::ado::detail {

struct Table;

// A compiled ADO filter or find criterion: comparisons "field op value" (=, <>, <, >, <=,
// >=, LIKE) joined by AND/OR with parentheses. Values: 'text' ('' inside), numbers,
// #dates#, Null, TRUE/FALSE. Field names bare or in [brackets], any letter case.
class FilterExpression {
public:
    // Errors (EngineError adErrInvalidArgument quoting the text) on bad grammar or an
    // unknown field. An empty or blank text matches every row.
    static FilterExpression parse(std::string_view text, const std::vector<FieldInfo>& fields);

    FilterExpression();
    ~FilterExpression();
    FilterExpression(FilterExpression&&) noexcept;
    FilterExpression& operator=(FilterExpression&&) noexcept;

    bool matchesAll() const;
    bool matches(const Table& table, std::uint32_t row) const;

    // The field and value when the whole expression is one "field = value" (not Null):
    // the record set answers it from an index.
    struct Equality {
        int field;
        Variant value;
    };
    std::optional<Equality> singleEquality() const;

    struct Node;

private:
    std::unique_ptr<Node> m_root;
};

// One key of a sort order.
struct SortKey {
    int field;
    bool descending;
};
// "a, b DESC, [c d] ASC"; errors (adErrInvalidArgument quoting the text) on unknown fields.
std::vector<SortKey> parseSort(std::string_view text, const std::vector<FieldInfo>& fields);
// Orders two rows by the keys; Null sorts before every value; ties keep their order.
bool sortLess(const Table& table, const std::vector<SortKey>& keys, std::uint32_t a, std::uint32_t b);

} // namespace qln::ado::detail
