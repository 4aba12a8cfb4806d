// splitmix64: a tiny generator that gives the same numbers on every platform
// and compiler, unlike the standard library's distributions, so that a seed
// names one wallpaper everywhere.
#pragma once

#include <cstdint>

// The splitmix64 finaliser: every input bit reaches every output bit.
inline std::uint64_t mixBits(std::uint64_t x) {
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() { return mixBits(state_ += 0x9E3779B97F4A7C15ull); }
    // 0..n-1; 0 for n <= 1. The slight bias of the remainder is far below
    // anything a wallpaper shows.
    std::int32_t below(std::int32_t n) {
        return n <= 1 ? 0 : static_cast<std::int32_t>(next() % static_cast<std::uint64_t>(n));
    }
    // lo..hi, both included.
    std::int32_t range(std::int32_t lo, std::int32_t hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    std::int32_t sign() { return chance(50) ? 1 : -1; }

private:
    std::uint64_t state_;
};
