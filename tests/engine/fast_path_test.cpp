// The engine's caches and shortcuts against the plain evaluation they stand in for.
// Each must give the very bits the formula gives, never merely a close value.

#include "engine/resonant_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

template <typename T> bool sameBits(T a, T b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The filter computes sine and cosine in one call; that is only allowed because this C
// library gives the same bits as the two functions apart. Every 16th float over the
// angles the filter can reach (down to 40 Hz at 192 kHz), and random doubles beyond.
TEST(FastPath, SincosMatchesSinAndCos) {
    float w = 1e-4f;
    int checked = 0;
    while (w <= 1.5707964f) {
        double s, c;
        ::sincos(w, &s, &c);
        ASSERT_TRUE(sameBits(s, std::sin(double(w)))) << w;
        ASSERT_TRUE(sameBits(c, std::cos(double(w)))) << w;
        uint32_t bits;
        std::memcpy(&bits, &w, sizeof bits);
        bits += 16;
        std::memcpy(&w, &bits, sizeof bits);
        ++checked;
    }
    EXPECT_GT(checked, 5000000);

    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> angle(-20.0, 20.0);
    for (int i = 0; i < 1000000; ++i) {
        const double x = angle(random);
        double s, c;
        ::sincos(x, &s, &c);
        ASSERT_TRUE(sameBits(s, std::sin(x))) << x;
        ASSERT_TRUE(sameBits(c, std::cos(x))) << x;
    }
}

// The same filter with its caches emptied before the call: the full evaluation.
void expectSameAsUncached(ResonantFilter& filter, float cutoff) {
    ResonantFilter cold = filter;
    cold.cutoffCached = false;
    cold.coefficientsCached = false;
    filter.setCutoff(cutoff);
    cold.setCutoff(cutoff);
    ASSERT_TRUE(sameBits(filter.angularCutoff, cold.angularCutoff)) << cutoff;
    for (auto field : {&ResonantFilter::b0, &ResonantFilter::b1, &ResonantFilter::b2,
                       &ResonantFilter::a0, &ResonantFilter::a1, &ResonantFilter::a2})
        ASSERT_TRUE(sameBits(filter.*field, cold.*field)) << cutoff;
}

TEST(FastPath, FilterCachesFollowCutoffRateModeAndResonance) {
    ResonantFilter filter;
    filter.setSampleRate(44100);
    filter.setResonance(30.25f);
    const float cutoffs[] = {0.5f,  0.5f, 0.25f, 0.25f, 1.0f,        1.7f, 1.0f,
                             -0.3f, 0.0f, -0.0f, 0.5f,  0.50000006f, 0.5f};
    for (float c : cutoffs)
        expectSameAsUncached(filter, c);

    // A new rate maps a standing cutoff to a new angle.
    filter.setSampleRate(96000);
    expectSameAsUncached(filter, 0.5f);
    EXPECT_NE(filter.angularCutoff, 0.0f);
    const float at96k = filter.angularCutoff;
    filter.setSampleRate(22050);
    expectSameAsUncached(filter, 0.5f);
    EXPECT_NE(filter.angularCutoff, at96k);

    // Mode and divisor, through their setters and written directly.
    filter.setMode(1.0f);
    expectSameAsUncached(filter, 0.5f);
    filter.setResonance(1.0f);
    expectSameAsUncached(filter, 0.5f);
    filter.mode = 0;
    expectSameAsUncached(filter, 0.5f);
    filter.resonanceFactor = 100.0f;
    expectSameAsUncached(filter, 0.5f);
}

} // namespace
