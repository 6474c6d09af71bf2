#include "engine/resonant_filter.h"

#include "engine/engine_util.h"
#include "engine/vector_lanes.h"

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
    return exactAngleFor(clamped);
}

// The exact mapping, the library's power always: what angleFor must agree with.
float ResonantFilter::exactAngleFor(float clamped) const {
    const double hz = std::pow(2.0, clamped * cutoffSpan) * 40.0;
    return static_cast<float>(hz / sampleRate * static_cast<double>(6.2831855f));
}

namespace {

using engine::Lanes;
using engine::loadLanes;
using engine::storeLanes;

// angleFor's estimate for kLanes clamped cutoffs at once. Returns a mask of the lanes it
// settles; any other lane (out of the table's range, NaN, or too near a rounding
// boundary) is left to the library's power.
template <int kLanes>
[[gnu::always_inline]] inline uint32_t estimateAngles(const float* clamped, double cutoffSpan,
                                                      double sampleRate, float* angles) {
    using L = Lanes<kLanes>;
    using Double = typename L::Double;
    typename L::Float c;
    loadLanes(c, clamped);
    const Double y = __builtin_convertvector(c, Double) * cutoffSpan;
    const typename L::Int64 inRange = (y >= 0.0) & (y < 64.0);
    const Double sixtyFourths = (inRange ? y : Double{}) * 64.0;
    const typename L::Int k = __builtin_convertvector(sixtyFourths, typename L::Int);
    const Double x =
        (sixtyFourths - __builtin_convertvector(k, Double)) * (0.6931471805599453 / 64.0);
    const Double series =
        1.0 + x * (1.0 + x * (0.5 + x * (1.0 / 6 + x * (1.0 / 24 + x * (1.0 / 120 + x / 720)))));
    const Double octave =
        reinterpret_cast<Double>((__builtin_convertvector(k >> 6, typename L::Int64) + 1023) << 52);
    Double table;
    for (int lane = 0; lane < kLanes; ++lane)
        table[lane] = kSixtyFourths[k[lane] & 63];
    const Double estimate =
        table * series * octave * 40.0 / sampleRate * static_cast<double>(6.2831855f);
    const typename L::Float low =
        __builtin_convertvector(estimate * (1.0 - 0x1p-40), typename L::Float);
    const typename L::Float high =
        __builtin_convertvector(estimate * (1.0 + 0x1p-40), typename L::Float);
    storeLanes(angles, low);
    const typename L::Int settled =
        (reinterpret_cast<typename L::Uint>(low) == reinterpret_cast<typename L::Uint>(high)) &
        __builtin_convertvector(inRange, typename L::Int);
    uint32_t mask = 0;
    for (int lane = 0; lane < kLanes; ++lane)
        mask |= (settled[lane] & 1u) << lane;
    return mask;
}

// updateCoefficients's divisions for kLanes angles' sines and cosines at once.
template <int kLanes>
[[gnu::always_inline]] inline void
divideCoefficients(const double* sw, const double* cw, double divisor, bool highPass,
                   ResonantFilter::CoefficientStretch& out, int32_t at) {
    using Double = typename Lanes<kLanes>::Double;
    Double s, c;
    loadLanes(s, sw);
    loadLanes(c, cw);
    const Double alpha = s / divisor;
    const Double sum = highPass ? 1.0 + c : 1.0 - c;
    const Double a0 = 1.0 + alpha;
    const Double b = sum * 0.5 / a0;
    const Double twiceB = highPass ? -2.0 * b : 2.0 * b;
    const Double a1 = -2.0 * c / a0;
    const Double a2 = (1.0 - alpha) / a0;
    storeLanes(out.b0 + at, b);
    storeLanes(out.b1 + at, twiceB);
    storeLanes(out.b2 + at, b);
    storeLanes(out.a1 + at, a1);
    storeLanes(out.a2 + at, a2);
    storeLanes(out.a0 + at, a0);
}

// The two stages over a stretch, kLanes at a time; they read and write up to kLanes - 1
// values past count. The estimates return a bit for each cutoff they leave unsettled.
template <int kLanes>
[[gnu::always_inline]] inline uint64_t estimateAnglesOver(const float* clamped, int32_t count,
                                                          double cutoffSpan, double sampleRate,
                                                          float* angles) {
    uint64_t unsettled = 0;
    for (int32_t i = 0; i < count; i += kLanes) {
        const uint32_t settled =
            estimateAngles<kLanes>(clamped + i, cutoffSpan, sampleRate, angles + i);
        unsettled |= static_cast<uint64_t>(~settled & ((1u << kLanes) - 1)) << i;
    }
    return count < 64 ? unsettled & ((uint64_t{1} << count) - 1) : unsettled;
}

template <int kLanes>
[[gnu::always_inline]] inline void
divideCoefficientsOver(const double* sw, const double* cw, int32_t count, double divisor,
                       bool highPass, ResonantFilter::CoefficientStretch& out) {
    for (int32_t k = 0; k < count; k += kLanes)
        divideCoefficients<kLanes>(sw + k, cw + k, divisor, highPass, out, 1 + k);
}

// Each stage in its portable form and, where the compiler can target it, in the form for
// AVX2; both give the same bits.
uint64_t estimateAnglesPortable(const float* clamped, int32_t count, double cutoffSpan,
                                double sampleRate, float* angles) {
    return estimateAnglesOver<2>(clamped, count, cutoffSpan, sampleRate, angles);
}

void divideCoefficientsPortable(const double* sw, const double* cw, int32_t count, double divisor,
                                bool highPass, ResonantFilter::CoefficientStretch& out) {
    divideCoefficientsOver<2>(sw, cw, count, divisor, highPass, out);
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] uint64_t estimateAnglesWide(const float* clamped, int32_t count,
                                                    double cutoffSpan, double sampleRate,
                                                    float* angles) {
    return estimateAnglesOver<4>(clamped, count, cutoffSpan, sampleRate, angles);
}

[[gnu::target("avx2")]] void divideCoefficientsWide(const double* sw, const double* cw,
                                                    int32_t count, double divisor, bool highPass,
                                                    ResonantFilter::CoefficientStretch& out) {
    divideCoefficientsOver<4>(sw, cw, count, divisor, highPass, out);
}
#else
constexpr auto estimateAnglesWide = estimateAnglesPortable;
constexpr auto divideCoefficientsWide = divideCoefficientsPortable;
#endif

} // namespace

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

// The estimates and the divisions work several cutoffs or angles at a time; where their
// count is not a multiple of that they read and write past it, and the arrays leave room
// for that (those lanes' results are not used).
void ResonantFilter::setCutoffs(const float* cutoffs, int32_t n, CoefficientStretch& stretch) {
    constexpr int kLanes = 4; // at most
    constexpr int32_t kRoom = kMaxStretch + kLanes;
    const bool wide = engine::useWideLanes();

    // The clamped cutoffs that differ from the one before, the first compared with the
    // filter's cached one; angleOf is each sample's index among them (-1: the cached).
    float changed[kRoom];
    int32_t angleOf[kMaxStretch];
    int32_t changes = 0;
    bool known = cutoffCached;
    uint32_t last = cachedCutoff;
    for (int32_t i = 0; i < n; ++i) {
        float c = cutoffs[i];
        if (c > 1) c = 1;
        if (c < 0) c = 0;
        if (!known || floatBits(c) != last) {
            changed[changes++] = c;
            last = floatBits(c);
            known = true;
        }
        angleOf[i] = changes - 1;
    }
    for (int lane = 0; lane < kLanes; ++lane)
        changed[changes + lane] = 0.0f;

    float angles[kRoom];
    uint64_t unsettled = (wide ? estimateAnglesWide : estimateAnglesPortable)(
        changed, changes, cutoffSpan, sampleRate, angles);
    for (; unsettled != 0; unsettled &= unsettled - 1)
        [[unlikely]] {
            const int32_t i = __builtin_ctzll(unsettled);
            angles[i] = exactAngleFor(changed[i]);
        }

    // A new set of coefficients wherever the angle's bits change, the first angle
    // compared with the coefficients the filter holds (set 0).
    const uint32_t divisorBits = floatBits(resonanceFactor);
    const Mode currentMode = mode;
    double angle[kRoom];
    int32_t sets = 0;
    known =
        coefficientsCached && divisorBits == coefficientsDivisor && currentMode == coefficientsMode;
    last = coefficientsCutoff;
    for (int32_t i = 0; i < n; ++i) {
        const float w = angleOf[i] < 0 ? angularCutoff : angles[angleOf[i]];
        if (!known || floatBits(w) != last) {
            angle[sets++] = w;
            last = floatBits(w);
            known = true;
        }
        stretch.set[i] = sets;
    }

    // The library's sine and cosine, one call for both as in updateCoefficients; the
    // calls do not depend on one another and overlap.
    double sw[kRoom], cw[kRoom];
    for (int32_t k = 0; k < sets; ++k)
        ::sincos(angle[k], &sw[k], &cw[k]);
    for (int lane = 0; lane < kLanes; ++lane)
        sw[sets + lane] = cw[sets + lane] = 0.0;

    stretch.b0[0] = b0;
    stretch.b1[0] = b1;
    stretch.b2[0] = b2;
    stretch.a1[0] = a1;
    stretch.a2[0] = a2;
    stretch.a0[0] = a0;
    (wide ? divideCoefficientsWide : divideCoefficientsPortable)(sw, cw, sets, resonanceFactor,
                                                                 currentMode == HighPass, stretch);

    // The state the last setCutoff would leave.
    if (changes > 0) {
        angularCutoff = angles[changes - 1];
        cachedCutoff = floatBits(changed[changes - 1]);
        cutoffCached = true;
    }
    if (sets > 0) {
        b0 = stretch.b0[sets];
        b1 = stretch.b1[sets];
        b2 = stretch.b2[sets];
        a1 = stretch.a1[sets];
        a2 = stretch.a2[sets];
        a0 = stretch.a0[sets];
        coefficientsCutoff = floatBits(angularCutoff);
        coefficientsDivisor = divisorBits;
        coefficientsMode = currentMode;
        coefficientsCached = true;
    }
}
