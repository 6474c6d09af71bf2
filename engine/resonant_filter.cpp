#include "engine/resonant_filter.h"

#include "engine/engine_util.h"

#include <cmath>

using engine::floatBits;

void ResonantFilter::setSampleRate(float rate) {
    sampleRate = rate;
    // Octaves from 40 Hz up to a quarter of the rate.
    cutoffSpan = std::log(rate * 0.25 / 40.0) / std::log(2.0);
    cutoffCached = false; // the same cutoff maps to another angle now
}

void ResonantFilter::setMode(float value) {
    mode = value >= 0.5f ? 1 : 0;
    updateCoefficients();
}

void ResonantFilter::mapCutoff(float clamped) {
    const double hz = std::pow(2.0, clamped * cutoffSpan) * 40.0;
    angularCutoff = static_cast<float>(hz / sampleRate * static_cast<double>(6.2831855f));
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
    if (mode == 1) {
        b0 = (1.0 + cw) * 0.5;
        b1 = -(1.0 + cw);
        b2 = (1.0 + cw) * 0.5;
    } else {
        b0 = (1.0 - cw) * 0.5;
        b1 = 1.0 - cw;
        b2 = (1.0 - cw) * 0.5;
    }
    a0 = 1.0 + alpha; // kept undivided; the difference equation does not use it
    a1 = -2.0 * cw;
    a2 = 1.0 - alpha;
    b0 /= a0;
    b1 /= a0;
    b2 /= a0;
    a1 /= a0;
    a2 /= a0;
    coefficientsCutoff = floatBits(angularCutoff);
    coefficientsDivisor = floatBits(resonanceFactor);
    coefficientsMode = mode;
    coefficientsCached = true;
}
