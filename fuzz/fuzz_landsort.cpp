// Land-unit identifiers: two texts from one input (split at the first zero byte) compare
// as a plain piece-by-piece reading of them says.

#include "FuzzCheck.h"
#include "Identifier.h"
#include "quillon/landsort/LandUnitSort.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool allDigits(std::string_view piece)
{
    return !piece.empty() && std::all_of(piece.begin(), piece.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string_view withoutLeadingZeros(std::string_view digits)
{
    while (!digits.empty() && digits.front() == '0')
        digits.remove_prefix(1);
    return digits;
}

// The comparison spelled out on ParseTheField's pieces, without the parsed identifiers'
// shortcuts.
int reference(std::string a, std::string b)
{
    if (a == b)
        return 0;
    for (int i = 0; i < 4; ++i) {
        const std::string pa = qln::landsort::detail::ParseTheField(a);
        const std::string pb = qln::landsort::detail::ParseTheField(b);
        if (pa == pb)
            continue;
        if (allDigits(pa) && allDigits(pb)) {
            const auto va = withoutLeadingZeros(pa);
            const auto vb = withoutLeadingZeros(pb);
            const bool greater = va.size() != vb.size() ? va.size() > vb.size() : va > vb;
            return greater ? 1 : -1;
        }
        return upper(pa) > upper(pb) ? 1 : -1;
    }
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto zero = input.find('\0');
    const std::string a(input.substr(0, zero));
    const std::string b(zero == std::string_view::npos ? std::string_view() : input.substr(zero + 1));
    using qln::landsort::clsLandUnitSort;
    const int forward = clsLandUnitSort::CompareLandUnits(a, b);
    QUILLON_FUZZ_CHECK(forward == reference(a, b));
    QUILLON_FUZZ_CHECK(clsLandUnitSort::CompareLandUnits(a, a) == 0);
    QUILLON_FUZZ_CHECK(clsLandUnitSort::CompareLandUnits(b, a) == reference(b, a));
    return 0;
}
