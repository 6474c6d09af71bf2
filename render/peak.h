// The level of a run of samples, for the render's peak and the written file's.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>

namespace quillo::render {

// The larger of from and the largest absolute sample; NaNs are passed over. Eight
// running maxima, independent of one another, so that the loop runs as vector code
// instead of waiting on one comparison after another.
inline float peakOf(const float* samples, size_t count, float from = 0.0f) {
    float lanes[8];
    std::fill(std::begin(lanes), std::end(lanes), from);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        for (int k = 0; k < 8; ++k) {
            const float level = std::fabs(samples[i + k]);
            lanes[k] = level > lanes[k] ? level : lanes[k];
        }
    }
    for (; i < count; ++i)
        lanes[0] = std::max(lanes[0], std::fabs(samples[i]));
    return *std::max_element(std::begin(lanes), std::end(lanes));
}

} // namespace quillo::render
