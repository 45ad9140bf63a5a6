#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qln::sample {

// A small seeded generator (splitmix64). Everything drawn from it is computed with plain
// integer and double arithmetic, so a seed gives the same database on every platform;
// the standard distributions are implementation-defined and are not used for that reason.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    // A generator for one named purpose whose stream does not depend on how many values
    // the parent has drawn (series properties stay the same whatever else a preset holds).
    static Random derived(std::uint64_t seed, std::uint64_t purpose, std::uint64_t index)
    {
        Random r(seed ^ (purpose * 0x9E3779B97F4A7C15ULL) ^ (index * 0xC2B2AE3D27D4EB4FULL));
        r.next();
        return r;
    }

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    // Uniform integer in [lo, hi], both included.
    int between(int lo, int hi)
    {
        const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo + 1);
        return lo + static_cast<int>(next() % span);
    }

    // Uniform real in [lo, hi).
    double real(double lo, double hi) { return lo + (hi - lo) * unit(); }

    // A bell-shaped value around mid, within mid - spread .. mid + spread.
    double around(double mid, double spread)
    {
        return mid + spread * ((unit() + unit() + unit()) / 1.5 - 1.0);
    }

    bool chance(double p) { return unit() < p; }

    std::size_t index(std::size_t count) { return static_cast<std::size_t>(next() % count); }

    template <typename T>
    const T& pick(const std::vector<T>& items) { return items[index(items.size())]; }

    // Index drawn with the given relative weights.
    std::size_t weighted(const std::vector<double>& weights)
    {
        double total = 0.0;
        for (double w : weights)
            total += w;
        double x = unit() * total;
        for (std::size_t i = 0; i + 1 < weights.size(); ++i) {
            if (x < weights[i])
                return i;
            x -= weights[i];
        }
        return weights.size() - 1;
    }

private:
    std::uint64_t m_state;
};

} // namespace qln::sample
