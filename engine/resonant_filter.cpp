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

// The same clamped cutoff at the same rate maps to the same angle, and the same angle,
// divisor and mode give the same coefficients: a cutoff that stands still costs neither
// the power of two nor the sine and cosine.
void ResonantFilter::setCutoff(float value) {
    if (value > 1) value = 1;
    if (value < 0) value = 0;
    if (!cutoffCached || floatBits(value) != cachedCutoff) {
        const double hz = std::pow(2.0, value * cutoffSpan) * 40.0;
        angularCutoff = static_cast<float>(hz / sampleRate * static_cast<double>(6.2831855f));
        cachedCutoff = floatBits(value);
        cutoffCached = true;
    }
    if (!coefficientsCached || floatBits(angularCutoff) != coefficientsCutoff ||
        floatBits(resonanceFactor) != coefficientsDivisor || mode != coefficientsMode)
        updateCoefficients();
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

float ResonantFilter::process(float input) {
    const double x = input;
    const float y = static_cast<float>(b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2);
    if (!std::isfinite(y)) {
        // The history is never cleared otherwise: one NaN or overflow would silence the
        // instance for good.
        x1 = x2 = y1 = y2 = 0.0;
        return 0.0f;
    }
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y; // the output as heard, single precision
    return y;
}
