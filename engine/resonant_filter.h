// Resonant biquad, low-pass or high-pass, direct form I.
//
// The cutoff is a normalised 0..1 value mapped exponentially from 40 Hz to a quarter
// of the sample rate. The history is never cleared: a new note starts with whatever
// the previous one left.
#pragma once

#include <cstdint>

struct ResonantFilter {
    int32_t mode = 0;              // 0 low-pass, 1 high-pass
    float sampleRate = 44100;      // Hz
    float angularCutoff = 0;       // radians per sample
    float resonanceFactor = 1;     // 1 (no peak) .. 100; divides sin(w) in alpha
    double a0 = 0, a1 = 0, a2 = 0; // a1, a2 normalised by a0; a0 kept as computed
    double b0 = 0, b1 = 0, b2 = 0; // normalised by a0
    double x1 = 0, x2 = 0;
    double y1 = 0, y2 = 0;
    double cutoffSpan = 0; // octaves swept by the normalised cutoff

    // Caches. The render loop sets the cutoff at every sample, mostly to the value it
    // already has. Each cache keys on the exact bits of everything its value is derived
    // from, so a hit gives the very bits the full evaluation would.
    bool cutoffCached = false;        // angularCutoff comes from cachedCutoff at this rate
    uint32_t cachedCutoff = 0;        // bits of that clamped cutoff
    bool coefficientsCached = false;  // the coefficients come from the three values below
    uint32_t coefficientsCutoff = 0;  // bits of angularCutoff
    uint32_t coefficientsDivisor = 0; // bits of resonanceFactor
    int32_t coefficientsMode = 0;

    void setSampleRate(float rate);
    void setMode(float value);
    void setCutoff(float value);
    void setResonance(float divisor);
    void updateCoefficients();
    float process(float input);
};
