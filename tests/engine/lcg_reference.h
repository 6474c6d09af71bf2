// An independent model of the noise generator's recurrence, for steering and checking it.
#pragma once

#include <cstdint>

namespace lcg_reference {

constexpr uint32_t kMultiplier = 214013u;
constexpr uint32_t kIncrement = 2531011u;

inline uint32_t step(uint32_t seed) {
    return seed * kMultiplier + kIncrement;
}
inline int resultOf(uint32_t seed) {
    return static_cast<int>((seed >> 16) & 0x7FFFu);
}

// The seed that the next draw turns into `wanted` (the multiplier is odd, so invertible
// modulo 2^32; Newton's iteration doubles the correct low bits each round).
inline uint32_t seedBefore(uint32_t wanted) {
    uint32_t inverse = kMultiplier;
    for (int i = 0; i < 5; ++i)
        inverse *= 2u - kMultiplier * inverse;
    return (wanted - kIncrement) * inverse;
}

} // namespace lcg_reference
