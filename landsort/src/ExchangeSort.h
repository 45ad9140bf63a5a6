#pragma once

#include "quillon/landsort/LandUnitSort.h"

#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

namespace qln::landsort::detail {

// Orders rows 0..count-1 by passes over adjacent rows, exchanging two rows only when
// compare(first, second) > 0, until a pass exchanges nothing; returns the row order and
// counts the exchanges. Equal rows never move past each other, and the comparison need
// not be a strict weak ordering; it must only never say that each of two rows sorts
// after the other.
//
// Every pass makes exactly the exchanges of a full pass, but stops early: past the last
// exchange of the previous pass, the rows are as that pass found them in order, so the
// pass may stop at the first row there that it has not just exchanged.
template <typename Compare>
std::vector<std::uint32_t> exchangeSort(std::uint32_t count, Compare compare, const ProgressHandler& progress,
                                        long& exchanges)
{
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    exchanges = 0;
    if (count < 2)
        return order;
    const long total = static_cast<long>(count);
    std::size_t lastExchange = count - 2;  // pairs after it are known to be in order
    long passes = 0;
    bool exchanged = true;
    while (exchanged) {
        exchanged = false;
        bool justExchanged = false;
        std::size_t last = 0;
        for (std::size_t j = 0; j + 1 < count; ++j) {
            if (j > lastExchange && !justExchanged)
                break;
            justExchanged = compare(order[j], order[j + 1]) > 0;
            if (justExchanged) {
                std::swap(order[j], order[j + 1]);
                exchanged = true;
                last = j;
                ++exchanges;
            }
        }
        lastExchange = last;
        ++passes;
        if (progress)
            progress(exchanged ? passes : total, total);
    }
    return order;
}

} // namespace qln::landsort::detail
