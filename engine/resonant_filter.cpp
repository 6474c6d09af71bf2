#include "engine/resonant_filter.h"

#include "engine/engine_util.h"

#include <array>
#include <cmath>
#include <cstring>

using engine::floatBits;

void ResonantFilter::setSampleRate(float rate) {
    sampleRate = rate;
    // Octaves from 40 Hz up to a quarter of the rate.
    cutoffSpan = std::log(rate * 0.25 / 40.0) / std::log(2.0);
    cutoffCached = false; // the same cutoff maps to another angle now
}

void ResonantFilter::setMode(float value) {
    mode = modeFor(value);
    updateCoefficients();
}

namespace {

// 2^(j/64) for j = 0..63, each within an ulp.
const std::array<double, 64> kSixtyFourths = [] {
    std::array<double, 64> powers{};
    for (int j = 0; j < 64; ++j)
        powers[j] = std::exp2(j / 64.0);
    return powers;
}();

// 2^y for 0 <= y < 64 within 2^-49 of the true value: 2^(k/64) from the table times
// a series for the remaining 2^r, r < 1/64 (the first term left out is below 2^-58).
double nearPowerOfTwo(double y) {
    const double sixtyFourths = y * 64.0; // exact
    const int32_t k = static_cast<int32_t>(sixtyFourths);
    const double x = (sixtyFourths - k) * (0.6931471805599453 / 64.0);
    const double series =
        1.0 + x * (1.0 + x * (0.5 + x * (1.0 / 6 + x * (1.0 / 24 + x * (1.0 / 120 + x / 720)))));
    const uint64_t octaveBits = static_cast<uint64_t>(1023 + (k >> 6)) << 52;
    double octave;
    std::memcpy(&octave, &octaveBits, sizeof octave);
    return kSixtyFourths[k & 63] * series * octave;
}

} // namespace

// The angle is stored in single precision, so the power of two only has to be known
// well enough to settle the rounding. The estimate goes through the same three steps
// as the exact value; if the float is the same at both ends of a band of 2^-40 either
// way, far wider than the estimate's distance from the library's power (under 2^-50),
// the exact value lies inside the band and rounds to that float too. Otherwise, about
// once in 150000 cutoffs, the library's power decides.
float ResonantFilter::angleFor(float clamped) const {
    const double y = clamped * cutoffSpan;
    const double twoPi = static_cast<double>(6.2831855f);
    if (y >= 0.0 && y < 64.0) {
        const double estimate = nearPowerOfTwo(y) * 40.0 / sampleRate * twoPi;
        const float low = static_cast<float>(estimate * (1.0 - 0x1p-40));
        const float high = static_cast<float>(estimate * (1.0 + 0x1p-40));
        if (floatBits(low) == floatBits(high)) return low;
    }
    const double hz = std::pow(2.0, y) * 40.0;
    return static_cast<float>(hz / sampleRate * twoPi);
}

// The exact mapping, the library's power always: what angleFor must agree with.
float ResonantFilter::exactAngleFor(float clamped) const {
    const double hz = std::pow(2.0, clamped * cutoffSpan) * 40.0;
    return static_cast<float>(hz / sampleRate * static_cast<double>(6.2831855f));
}

void ResonantFilter::mapCutoff(float clamped) {
    angularCutoff = angleFor(clamped);
    cachedCutoff = floatBits(clamped);
    cutoffCached = true;
}

void ResonantFilter::setResonance(float divisor) {
    resonanceFactor = divisor;
    updateCoefficients();
}

void ResonantFilter::updateCoefficients() {
    const double w = angularCutoff;
    // One call for both; on this C library it gives the same bits as sin and cos apart
    // (checked by the engine tests).
    double sw, cw;
    ::sincos(w, &sw, &cw);
    // No factor 2 under sin(w): a divisor of 1 is the widest, flattest setting.
    const double alpha = sw / resonanceFactor;
    // b0 and b2 are (1 -+ cw) * 0.5 and b1 is -+ twice that, all divided by a0. A power
    // of two passes through a division untouched while the quotient stays clear of the
    // subnormals (1 -+ cw is 0 or at least 2^-53, a0 at least 1), so one division gives
    // all three with the bits of three.
    const double sum = mode == HighPass ? 1.0 + cw : 1.0 - cw;
    a0 = 1.0 + alpha; // kept undivided; the difference equation does not use it
    const double b = sum * 0.5 / a0;
    b0 = b;
    b1 = mode == HighPass ? -2.0 * b : 2.0 * b;
    b2 = b;
    a1 = -2.0 * cw / a0;
    a2 = (1.0 - alpha) / a0;
    coefficientsCutoff = floatBits(angularCutoff);
    coefficientsDivisor = floatBits(resonanceFactor);
    coefficientsMode = mode;
    coefficientsCached = true;
}
