#include "engine/resonant_filter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

ResonantFilter filterAt44100() {
    ResonantFilter filter;
    filter.setSampleRate(44100);
    return filter;
}

float settle(ResonantFilter& filter, float input) {
    float out = 0;
    for (int i = 0; i < 300000; ++i)
        out = filter.process(input);
    return out;
}

TEST(ResonantFilter, CutoffMapsFrom40HzToAQuarterOfTheRate) {
    ResonantFilter filter = filterAt44100();
    EXPECT_DOUBLE_EQ(filter.cutoffSpan, 8.106562940444883);

    filter.setCutoff(0);
    EXPECT_FLOAT_EQ(filter.angularCutoff, 0.0056990343f);
    const float lowest = filter.angularCutoff;
    filter.setCutoff(-0.3f);
    EXPECT_EQ(filter.angularCutoff, lowest);

    filter.setCutoff(1);
    EXPECT_EQ(filter.angularCutoff, 1.5707964f);
    filter.setCutoff(1.7f);
    EXPECT_EQ(filter.angularCutoff, 1.5707964f);

    filter.setCutoff(0.3f); // power of two, times 40, over the rate, times 2π in single precision
    const double hz = std::pow(2.0, 0.3f * 8.106562940444883) * 40.0;
    EXPECT_EQ(filter.angularCutoff, static_cast<float>(hz / 44100.0 * 6.2831854820251465));

    filter.setSampleRate(48000);
    EXPECT_DOUBLE_EQ(filter.cutoffSpan, std::log2(300.0));
}

TEST(ResonantFilter, CoefficientsAtAQuarterOfTheRate) {
    ResonantFilter filter = filterAt44100();
    filter.setResonance(1);
    filter.setCutoff(1);
    EXPECT_NEAR(filter.b0, 0.25, 1e-7);
    EXPECT_NEAR(filter.b1, 0.5, 1e-7);
    EXPECT_NEAR(filter.b2, 0.25, 1e-7);
    EXPECT_NEAR(filter.a0, 2.0, 1e-7);
    EXPECT_NEAR(filter.a1, 0.0, 1e-7);
    EXPECT_NEAR(filter.a2, 0.0, 1e-7);

    filter.setMode(0.5f);
    EXPECT_EQ(filter.mode, ResonantFilter::HighPass);
    EXPECT_NEAR(filter.b0, 0.25, 1e-7);
    EXPECT_NEAR(filter.b1, -0.5, 1e-7);
    EXPECT_NEAR(filter.b2, 0.25, 1e-7);
    filter.setMode(0.4999f);
    EXPECT_EQ(filter.mode, ResonantFilter::LowPass);
}

TEST(ResonantFilter, LowPassPassesAndHighPassBlocksDirectCurrent) {
    // The output is fed back rounded to single precision, which leaves a dead band around
    // the settled value: up to about 0.2 % at 40 Hz, shrinking with the square of the cutoff.
    for (float cutoff : {0.0f, 0.2f, 0.6f, 1.0f}) {
        const double deadBand = cutoff < 0.5f ? 2e-3 : 1e-5;
        for (float divisor : {1.0f, 4.0f, 30.25f}) {
            ResonantFilter filter = filterAt44100();
            filter.setResonance(divisor);
            filter.setCutoff(cutoff);
            EXPECT_NEAR(settle(filter, 1.0f), 1.0f, deadBand) << cutoff << " " << divisor;
            filter.setMode(1);
            EXPECT_NEAR(settle(filter, 1.0f), 0.0f, 1e-5) << cutoff << " " << divisor;
        }
    }
}

TEST(ResonantFilter, DirectFormOneInDoubleWithASinglePrecisionOutput) {
    ResonantFilter filter = filterAt44100();
    filter.setResonance(9);
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (int i = 0; i < 400; ++i) {
        filter.setCutoff(0.5f + 0.4f * std::sin(i * 0.05f));
        const double w = filter.angularCutoff;
        const double alpha = std::sin(w) / 9.0, a0 = 1 + alpha;
        const double b0 = (1 - std::cos(w)) / 2 / a0, b1 = (1 - std::cos(w)) / a0, b2 = b0;
        const double a1 = -2 * std::cos(w) / a0, a2 = (1 - alpha) / a0;

        const float x = (i % 37 < 18) ? 0.5f : -0.5f;
        const float expected =
            static_cast<float>(((((b0 * x) + b1 * x1) + b2 * x2) - a1 * y1) - a2 * y2);
        ASSERT_EQ(filter.process(x), expected) << i;
        x2 = x1, x1 = x, y2 = y1, y1 = expected;
    }

    // The history outlives the note: silence in still rings with what came before.
    EXPECT_NE(filter.process(0), 0.0f);
}

// One NaN or overflow must not poison a history that is never cleared otherwise.
TEST(ResonantFilter, NonFiniteOutputClearsTheHistory) {
    ResonantFilter filter = filterAt44100();
    filter.setCutoff(0.5f);
    filter.process(0.5f);
    EXPECT_EQ(filter.process(NAN), 0.0f);
    EXPECT_EQ(filter.process(INFINITY), 0.0f);
    EXPECT_EQ(filter.x1, 0.0);
    EXPECT_EQ(filter.y1, 0.0);
    EXPECT_TRUE(std::isfinite(filter.process(0.25f)));
    EXPECT_NE(filter.process(0.25f), 0.0f);
}

} // namespace
