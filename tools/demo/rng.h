// A small random source that gives the same numbers on every machine and
// every build, so that the generated art and the match replay exactly.
#pragma once

#include <cstdint>

namespace demo {

class Rng {
public:
    explicit Rng(std::uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}

    std::uint32_t Next() {
        std::uint32_t x = state_;
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        state_ = x;
        return x;
    }
    // 0 .. n-1
    int Below(int n) { return n > 0 ? static_cast<int>(Next() % static_cast<std::uint32_t>(n)) : 0; }
    // lo .. hi inclusive
    int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }

private:
    std::uint32_t state_;
};

}  // namespace demo
