// Small pieces shared by the engine units: the note pitches, the sine cycle, phase
// wrapping and the decoding of choices.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace engine {

constexpr int kTablePoints = 512; // points per single-cycle table
constexpr int kTableMask = 511;

// Hz per MIDI note. The factor is the literal 1.059463094359, applied by repeated
// multiplication; it is a hair below a true semitone, so high notes run slightly flat
// (note 69 is 439.9999999911709 Hz).
inline void fillPitchTable(double (&hz)[128]) {
    hz[0] = 8.175798915636872;
    for (int note = 1; note < 128; ++note)
        hz[note] = hz[note - 1] * 1.059463094359;
}

// One sine cycle over 512 points, each rounded to single precision.
inline void fillSineTable(float* table) {
    for (int p = 0; p < kTablePoints; ++p)
        table[p] = static_cast<float>(std::sin(p * 6.283185307179586 * 0.001953125));
}

// Truncates toward zero. A value out of int32 range (or NaN) gives INT32_MIN, as the
// hardware conversion does, rather than undefined behaviour. Where that conversion is at
// hand (SSE2, every x86-64) it is used as it is, with no test; elsewhere one test covers
// both ends: from -2^31 down to just above -2^31 - 1 truncation gives INT32_MIN anyway.
inline int32_t truncateToInt32(double x) {
#if defined(__SSE2__)
    return _mm_cvttsd_si32(_mm_set_sd(x));
#else
    if (!(std::fabs(x) < 2147483648.0)) [[unlikely]]
        return INT32_MIN;
    return static_cast<int32_t>(x);
#endif
}

// The bits of a float, for caches that must tell apart every value a formula could
// tell apart (0 and -0 included).
inline uint32_t floatBits(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// The bits of a double and back: the table-note boundaries are found by bisection over
// the ordered bit patterns of positive doubles.
inline uint64_t doubleBits(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline double doubleFromBits(uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// Wraps a phase in table points; returns whether it wrapped. One subtraction per sample,
// so a phase of exactly 512 stays (it reads like 0). Only an advance of a whole cycle or
// more, a frequency at or above the sample rate, would leave the phase above 512 and let
// it grow without bound; that case alone is reduced fully.
inline bool wrapPhase(double& phase) {
    // Phases start at 0 and only ever advance by amounts that are not negative, so one
    // test passes the common case; NaN and infinity fail it like a wrap.
    if (phase <= 512.0) [[likely]]
        return false;
    // An infinite advance (a parameter far outside its range) restarts the cycle instead
    // of leaving the phase NaN for the rest of the instance's life.
    if (!std::isfinite(phase)) {
        phase = 0.0;
        return false;
    }
    phase -= 512.0;
    if (phase > 512.0) [[unlikely]]
        phase = std::fmod(phase, 512.0);
    return true;
}

// Choices. A normalised value selects a code by strict tests against single-precision
// thresholds, so a value on a boundary belongs to the upper code. The units decode their
// settings with these, and the value texts name what they decode, so the text always
// names what is heard.

// A code 0..4 ("Wave1", "LFO1 Dest").
inline int32_t fiveWayChoice(float x) {
    if (x < 0.2f) return 0;
    if (x < 0.4f) return 1;
    if (x < 0.6f) return 2;
    if (x < 0.8f) return 3;
    return 4;
}

// A code 0..3 ("LFO1 Typ").
inline int32_t fourWayChoice(float x) {
    if (x < 0.25f) return 0;
    if (x < 0.5f) return 1;
    if (x < 0.75f) return 2;
    return 3;
}

// A two-way type ("Filter", "GlideTyp") takes its second choice from 0.5 up.
inline bool isSecondChoice(float x) {
    return x >= 0.5f;
}

// A switch ("Sync", "Glide") is on only above 0.5: 0.5 itself is off.
inline bool isSwitchedOn(float x) {
    return x > 0.5f;
}

} // namespace engine
