// Resonant biquad, low-pass or high-pass, direct form I.
//
// The cutoff is a normalised 0..1 value mapped exponentially from 40 Hz to a quarter
// of the sample rate. The history is never cleared: a new note starts with whatever
// the previous one left.
//
// Threads: mode, resonance and the parameter's cutoff are set from the control thread;
// the render loop sets the modulated cutoff and processes on the audio thread. Mode and
// resonance are keys of the coefficient cache, so a change lands cleanly; a cutoff set
// on the control thread while the audio thread sets one can pair a cache key with the
// other's values until the cutoff next moves.
#pragma once

#include "engine/engine_util.h"

#include <cmath>
#include <cstdint>

struct ResonantFilter {
    // The codes are the order of the "Filter" choices.
    enum Mode : int32_t { LowPass = 0, HighPass = 1 };

    // The mode from its normalised parameter value; the value text decodes with it too.
    static Mode modeFor(float x) { return engine::isSecondChoice(x) ? HighPass : LowPass; }

    Mode mode = LowPass;
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
    Mode coefficientsMode = LowPass;

    // Control thread, never while the audio thread processes.
    void setSampleRate(float rate);
    // Control thread; may run beside process.
    void setMode(float value);
    void setResonance(float divisor);
    // Audio thread every sample; also the control thread for the "Cutoff" parameter.
    void setCutoff(float value);
    void updateCoefficients();
    // Audio thread, once per sample.
    float process(float input);

    // setCutoff's work when the cached angle does not apply: the power of two.
    void mapCutoff(float clamped);
    // The angle of a clamped cutoff, by a short estimate where that settles the
    // rounding, else by the library's power; exactAngleFor always takes the latter.
    float angleFor(float clamped) const;
    float exactAngleFor(float clamped) const;

    // For the staged render loop. Audio thread.

    // The coefficients of a stretch of samples: one set for each change of angle, and the
    // set each sample takes. Set 0 is the one the filter held before the stretch.
    static constexpr int32_t kMaxStretch = 64;
    struct CoefficientStretch {
        // Room for a few sets past the last: the divisions are worked out several at once.
        static constexpr int32_t kSets = kMaxStretch + 8;
        int32_t set[kMaxStretch];
        double b0[kSets], b1[kSets], b2[kSets], a1[kSets], a2[kSets], a0[kSets];
    };
    // setCutoff for each of n cutoffs in turn (0 < n <= kMaxStretch): the filter ends as
    // the last call leaves it, and every sample's coefficients are in stretch, with the
    // bits the calls would give. The work runs stage by stage over the stretch rather
    // than as one long chain per sample: the angles of the cutoffs that change, then the
    // sines and cosines of the angles that change, then the divisions, several at once.
    // Mode and divisor are read once for the stretch.
    void setCutoffs(const float* cutoffs, int32_t n, CoefficientStretch& stretch);

    // process on a history kept outside the record: the render loop holds it in
    // registers for a stretch of samples, off the memory round trip of every sample.
    float processWith(double& x1, double& x2, double& y1, double& y2, float input) const;
    // The difference equation with coefficients and history both given: a moving
    // cutoff's coefficients can be worked out for a stretch ahead of the feedback.
    static float step(double b0, double b1, double b2, double a1, double a2, double& x1, double& x2,
                      double& y1, double& y2, float input);
};

// The per-sample operations are defined here so that the render loop compiles into
// one loop. The same clamped cutoff at the same rate maps to the same angle, and the
// same angle, divisor and mode give the same coefficients: a cutoff that stands still
// costs neither the power of two nor the sine and cosine.
inline void ResonantFilter::setCutoff(float value) {
    if (value > 1) value = 1;
    if (value < 0) value = 0;
    if (!cutoffCached || engine::floatBits(value) != cachedCutoff) [[unlikely]]
        mapCutoff(value);
    if (!coefficientsCached || engine::floatBits(angularCutoff) != coefficientsCutoff ||
        engine::floatBits(resonanceFactor) != coefficientsDivisor || mode != coefficientsMode)
        [[unlikely]]
        updateCoefficients();
}

inline float ResonantFilter::process(float input) {
    return processWith(x1, x2, y1, y2, input);
}

inline float ResonantFilter::processWith(double& x1, double& x2, double& y1, double& y2,
                                         float input) const {
    return step(b0, b1, b2, a1, a2, x1, x2, y1, y2, input);
}

inline float ResonantFilter::step(double b0, double b1, double b2, double a1, double a2, double& x1,
                                  double& x2, double& y1, double& y2, float input) {
    const double x = input;
    const float y = static_cast<float>(b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2);
    if (!std::isfinite(y)) [[unlikely]] {
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
