#include "ExchangeSort.h"
#include "Identifier.h"

#include <gtest/gtest.h>

#include <random>

using qln::landsort::detail::ParsedIdentifier;

namespace {

// Full passes over every adjacent pair until one exchanges nothing: the reference.
template <typename Compare>
std::vector<std::uint32_t> fullPassSort(std::uint32_t count, Compare compare)
{
    std::vector<std::uint32_t> order(count);
    for (std::uint32_t i = 0; i < count; ++i)
        order[i] = i;
    for (bool exchanged = true; exchanged;) {
        exchanged = false;
        for (std::uint32_t j = 0; j + 1 < count; ++j) {
            if (compare(order[j], order[j + 1]) > 0) {
                std::swap(order[j], order[j + 1]);
                exchanged = true;
            }
        }
    }
    return order;
}

} // namespace

// The early end of a pass must not change the result, also where identifiers that differ
// only in case or leading zeros make the comparison no strict weak ordering.
TEST(ExchangeSort, MakesTheExchangesOfFullPasses)
{
    std::mt19937 random(7);
    const std::vector<std::string> shapes = {"1", "01", "1a", "1A", "1a2", "1A3", "2", "2-1", "10", "10b", "10B", "A", "a"};
    for (int round = 0; round < 200; ++round) {
        std::vector<ParsedIdentifier> ids;
        const auto count = 2 + random() % 40;
        for (std::size_t i = 0; i < count; ++i)
            ids.emplace_back(shapes[random() % shapes.size()]);
        const auto compare = [&](std::uint32_t a, std::uint32_t b) {
            return ParsedIdentifier::compare(ids[a], ids[b], qln::landsort::detail::kComparePieces);
        };
        long exchanges = 0;
        const auto order = qln::landsort::detail::exchangeSort(static_cast<std::uint32_t>(count), compare, {}, exchanges);
        ASSERT_EQ(order, fullPassSort(static_cast<std::uint32_t>(count), compare)) << "round " << round;
    }
}
