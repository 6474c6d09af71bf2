#include "engine/wavetable_bank.h"

#include "engine/engine_util.h"

#include <algorithm>
#include <cstring>

namespace {

using engine::kTableMask;
using engine::kTablePoints;

constexpr int kTopNote = 127;
constexpr int kTopHarmonics = 8; // the top tables hold these whatever the rate
constexpr int kMaxHarmonics = 384;

// Adds harmonics first..last to one note's saw and triangle, in place. The saw gets every
// harmonic at 1/m in sine phase; the triangle only the odd ones at 1/D², as cosines (the
// quarter-cycle offset is added after multiplying by D). Each point's sums run over the
// harmonics in ascending order; each new contribution is rounded to single precision
// before it meets the stored point, and the sum rounded again.
//
// A block of points at a time runs through all the harmonics, its sums held in
// registers; each weight is divided out once rather than once per point. sine holds the
// sine table's points widened to double.
void addHarmonics(float* saw, float* triangle, const double* sine, int first, int last) {
    double sawWeight[kMaxHarmonics + 1], triangleWeight[kMaxHarmonics + 1];
    for (int m = first; m <= last; ++m)
        sawWeight[m] = 1.0 / m;
    const int firstOdd = first | 1;
    for (int d = firstOdd; d <= last; d += 2)
        triangleWeight[d] = 4.0 / (d * d) * -1.0;

    constexpr int kBlock = 8;
    for (int j0 = 0; j0 < kTablePoints; j0 += kBlock) {
        double sawSum[kBlock] = {}, triangleSum[kBlock] = {};
        for (int m = first; m <= last; ++m)
            for (int k = 0; k < kBlock; ++k)
                sawSum[k] += sawWeight[m] * sine[(m * (j0 + k)) & kTableMask];
        for (int d = firstOdd; d <= last; d += 2)
            for (int k = 0; k < kBlock; ++k)
                triangleSum[k] += triangleWeight[d] * sine[(d * (j0 + k) + 128) & kTableMask];
        for (int k = 0; k < kBlock; ++k) {
            const int j = j0 + k;
            const float sawPart = static_cast<float>(0.5 * sawSum[k]);
            const float trianglePart = static_cast<float>(-0.2 * triangleSum[k]);
            saw[j] = static_cast<float>(static_cast<double>(saw[j]) + static_cast<double>(sawPart));
            triangle[j] = static_cast<float>(static_cast<double>(triangle[j]) +
                                             static_cast<double>(trianglePart));
        }
    }
}

} // namespace

void WavetableBank::rebuild(float sampleRate) {
    // Going down, each table is the one above plus the harmonics that have newly come
    // below half the sample rate. A count at or below the one already held copies (so
    // notes with 8 or fewer harmonics play the top tables); past 384 every lower note
    // copies the fullest table.
    double noteHz[kNotes];
    engine::fillPitchTable(noteHz);
    const double halfRate = sampleRate * 0.5;
    int16_t held[kNotes];
    held[kTopNote] = kTopHarmonics;
    for (int note = kTopNote - 1; note >= 0; --note) {
        const int32_t highest = engine::truncateToInt32(halfRate / noteHz[note]);
        const bool adds = highest <= kMaxHarmonics && highest > held[note + 1];
        held[note] = static_cast<int16_t>(adds ? highest : held[note + 1]);
    }
    if (built && std::memcmp(held, harmonics, sizeof held) == 0) return;

    float* sine = points + (256 << 9);
    engine::fillSineTable(sine);
    double wideSine[kTablePoints];
    std::copy(sine, sine + kTablePoints, wideSine);

    auto saw = [this](int note) { return points + (note << 9); };
    auto triangle = [this](int note) { return points + ((note | 0x80) << 9); };

    std::fill(saw(kTopNote), saw(kTopNote) + kTablePoints, 0.0f);
    std::fill(triangle(kTopNote), triangle(kTopNote) + kTablePoints, 0.0f);
    addHarmonics(saw(kTopNote), triangle(kTopNote), wideSine, 1, kTopHarmonics);

    for (int note = kTopNote - 1; note >= 0; --note) {
        std::copy(saw(note + 1), saw(note + 1) + kTablePoints, saw(note));
        std::copy(triangle(note + 1), triangle(note + 1) + kTablePoints, triangle(note));
        if (held[note] > held[note + 1])
            addHarmonics(saw(note), triangle(note), wideSine, held[note + 1] + 1, held[note]);
    }
    std::memcpy(harmonics, held, sizeof held);
    built = true;
}
