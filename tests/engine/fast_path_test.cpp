// The engine's caches and shortcuts against the plain evaluation they stand in for.
// Each must give the very bits the formula gives, never merely a close value.

#include "engine/engine_util.h"
#include "engine/resonant_filter.h"
#include "engine/table_note.h"
#include "engine/vector_lanes.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

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

// The cutoff's angle from the short power-of-two estimate against the library's power,
// over every 256th float from 0 to 1 (and both ends) at five rates.
TEST(FastPath, CutoffAngleMatchesThePowerOfTwoEverywhere) {
    for (float rate : {22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f}) {
        ResonantFilter filter;
        filter.setSampleRate(rate);
        for (uint32_t bits = 0; bits <= 0x3F800000u; bits += 256) {
            float c;
            std::memcpy(&c, &bits, sizeof c);
            ASSERT_TRUE(sameBits(filter.angleFor(c), filter.exactAngleFor(c))) << rate << " " << c;
        }
        ASSERT_TRUE(sameBits(filter.angleFor(1.0f), filter.exactAngleFor(1.0f)));
    }
}

// The coefficients share one division among b0, b1 and b2; against the formula as
// written, for every 64th float angle the filter can reach, both modes, three divisors.
TEST(FastPath, CoefficientsMatchTheFormulaAsWritten) {
    for (ResonantFilter::Mode mode : {ResonantFilter::LowPass, ResonantFilter::HighPass}) {
        for (float divisor : {1.0f, 30.25f, 100.0f}) {
            ResonantFilter filter;
            filter.mode = mode;
            filter.resonanceFactor = divisor;
            for (float w = 0.0f; w <= 1.5707964f;) {
                filter.angularCutoff = w;
                filter.updateCoefficients();
                const double cw = std::cos(double(w));
                const double alpha = std::sin(double(w)) / divisor;
                const bool highPass = mode == ResonantFilter::HighPass;
                double b0 = highPass ? (1.0 + cw) * 0.5 : (1.0 - cw) * 0.5;
                double b1 = highPass ? -(1.0 + cw) : 1.0 - cw;
                double b2 = highPass ? (1.0 + cw) * 0.5 : (1.0 - cw) * 0.5;
                const double a0 = 1.0 + alpha;
                b0 /= a0, b1 /= a0, b2 /= a0;
                ASSERT_TRUE(sameBits(filter.b0, b0)) << w;
                ASSERT_TRUE(sameBits(filter.b1, b1)) << w;
                ASSERT_TRUE(sameBits(filter.b2, b2)) << w;
                ASSERT_TRUE(sameBits(filter.a0, a0)) << w;
                ASSERT_TRUE(sameBits(filter.a1, -2.0 * cw / a0)) << w;
                ASSERT_TRUE(sameBits(filter.a2, (1.0 - alpha) / a0)) << w;
                uint32_t bits;
                std::memcpy(&bits, &w, sizeof bits);
                bits += w < 1e-4f ? 1u << 20 : 64u;
                std::memcpy(&w, &bits, sizeof bits);
            }
        }
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
    filter.mode = ResonantFilter::LowPass;
    expectSameAsUncached(filter, 0.5f);
    filter.resonanceFactor = 100.0f;
    expectSameAsUncached(filter, 0.5f);
}

// The filter's state that the cutoff and coefficient caches leave, field by field.
void expectSameFilterState(const ResonantFilter& a, const ResonantFilter& b) {
    EXPECT_TRUE(sameBits(a.angularCutoff, b.angularCutoff));
    for (auto field : {&ResonantFilter::b0, &ResonantFilter::b1, &ResonantFilter::b2,
                       &ResonantFilter::a0, &ResonantFilter::a1, &ResonantFilter::a2})
        EXPECT_TRUE(sameBits(a.*field, b.*field));
    EXPECT_EQ(a.cutoffCached, b.cutoffCached);
    EXPECT_EQ(a.cachedCutoff, b.cachedCutoff);
    EXPECT_EQ(a.coefficientsCached, b.coefficientsCached);
    EXPECT_EQ(a.coefficientsCutoff, b.coefficientsCutoff);
    EXPECT_EQ(a.coefficientsDivisor, b.coefficientsDivisor);
    EXPECT_EQ(a.coefficientsMode, b.coefficientsMode);
}

// setCutoffs against setCutoff sample by sample: every sample's coefficients and the state
// after, for stretches of every length with repeated, creeping, clamped, negative-zero and
// NaN cutoffs (NaN takes the library's power in its lane), starting cached or not, after
// changes of mode, divisor and rate; and a sweep over every 4096th float from 0 to 1. In
// the portable vector form and in the AVX2 one where the processor has it.
class CutoffStretch : public testing::TestWithParam<bool> {
  protected:
    void SetUp() override { engine::forcePortableLanes(GetParam()); }
    void TearDown() override { engine::forcePortableLanes(false); }
};

INSTANTIATE_TEST_SUITE_P(FastPath, CutoffStretch, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "portable" : "widest"; });

TEST_P(CutoffStretch, MatchesSetCutoffSampleBySample) {
    ResonantFilter stretchwise;
    stretchwise.setSampleRate(44100);
    stretchwise.setResonance(30.25f);
    ResonantFilter samplewise = stretchwise;
    auto compare = [&](const std::vector<float>& cutoffs) {
        ResonantFilter::CoefficientStretch stretch;
        stretchwise.setCutoffs(cutoffs.data(), int32_t(cutoffs.size()), stretch);
        for (size_t i = 0; i < cutoffs.size(); ++i) {
            samplewise.setCutoff(cutoffs[i]);
            const int32_t k = stretch.set[i];
            ASSERT_TRUE(
                sameBits(stretch.b0[k], samplewise.b0) && sameBits(stretch.b1[k], samplewise.b1) &&
                sameBits(stretch.b2[k], samplewise.b2) && sameBits(stretch.a1[k], samplewise.a1) &&
                sameBits(stretch.a2[k], samplewise.a2))
                << "sample " << i << " of " << cutoffs.size() << ", cutoff " << cutoffs[i];
        }
        expectSameFilterState(stretchwise, samplewise);
    };

    std::mt19937 random(5);
    std::uniform_real_distribution<float> anywhere(-0.5f, 1.5f);
    float c = 0.5f;
    for (int round = 0; round < 600; ++round) {
        std::vector<float> cutoffs(1 + random() % ResonantFilter::kMaxStretch);
        for (float& cutoff : cutoffs) {
            switch (random() % 8) {
            case 0: c = anywhere(random); break;
            case 1: c = std::nextafter(c, 2.0f); break;
            case 2: c = random() % 2 ? -0.0f : NAN; break;
            case 3: c = random() % 2 ? 1.0f : 0.0f; break;
            default: break; // the same again
            }
            cutoff = c;
        }
        compare(cutoffs);
        switch (round % 16) {
        case 3: stretchwise.setMode(1.0f), samplewise.setMode(1.0f); break;
        case 7: stretchwise.setResonance(100.0f), samplewise.setResonance(100.0f); break;
        case 11: stretchwise.setMode(0.0f), samplewise.setMode(0.0f); break;
        case 13: stretchwise.setSampleRate(96000), samplewise.setSampleRate(96000); break;
        case 15: stretchwise.setSampleRate(44100), samplewise.setSampleRate(44100); break;
        }
    }

    std::vector<float> sweep;
    for (uint32_t bits = 0; bits <= 0x3F800000u; bits += 4096) {
        float cutoff;
        std::memcpy(&cutoff, &bits, sizeof cutoff);
        sweep.push_back(cutoff);
        if (sweep.size() == 61) compare(sweep), sweep.clear();
    }
}

// The truncation tests both ends of the int32 range with one comparison of the
// magnitude; at the low end that must agree with the two-sided test it replaces.
TEST(FastPath, TruncationMatchesTheTwoSidedRangeTest) {
    auto twoSided = [](double x) {
        if (!(x > -2147483649.0 && x < 2147483648.0)) return INT32_MIN;
        return static_cast<int32_t>(x);
    };
    const double edges[] = {
        -2147483649.0, -2147483648.5,    -2147483648.0,     -2147483647.5, -0.5,         -0.0,
        0.0,           511.999,          2147483647.0,      2147483647.9,  2147483648.0, 1e300,
        -1e300,        double(INFINITY), -double(INFINITY), double(NAN)};
    for (double edge : edges)
        for (double x : {std::nextafter(edge, -INFINITY), edge, std::nextafter(edge, INFINITY)})
            EXPECT_EQ(engine::truncateToInt32(x), twoSided(x)) << x;
}

class NoteBracketsTest : public testing::Test {
  protected:
    void SetUp() override { brackets->build(); }
    std::unique_ptr<engine::NoteBrackets> brackets = std::make_unique<engine::NoteBrackets>();
};

// Each boundary is exact: the value there has reached the note, one double below it
// has not. The first note (value 0) begins just above -1, where truncation gives 0.
TEST_F(NoteBracketsTest, BoundariesAreTheExactDoublesWhereTheValueSteps) {
    for (int k = 0; k <= 128; ++k) {
        const double at = brackets->lowest[k];
        const double below = std::nextafter(at, 0.0);
        EXPECT_EQ(engine::tableNoteValue(at), k) << k;
        EXPECT_EQ(engine::tableNoteValue(below), k == 0 ? -1 : k - 1) << k;
        if (k > 0) {
            EXPECT_LT(brackets->lowest[k - 1], at);
        }
    }
    // At tuning 1 note 60 plays the tables of note 59, note 0 its own.
    double pitch[128];
    engine::fillPitchTable(pitch);
    EXPECT_LT(brackets->lowest[59], pitch[60]);
    EXPECT_GT(brackets->lowest[60], pitch[60]);
    EXPECT_LE(brackets->lowest[0], pitch[0]);
    EXPECT_GT(brackets->lowest[1], pitch[0]);
}

// Around every boundary, 16384 doubles on each side, with several starting guesses:
// the window covers every double whose logarithm lands within rounding of the step.
TEST_F(NoteBracketsTest, FindMatchesTheLogarithmAroundEveryBoundary) {
    for (int k = 0; k <= 128; ++k) {
        const uint64_t at = engine::doubleBits(brackets->lowest[k]);
        for (uint64_t bits = at - 16384; bits <= at + 16384; ++bits) {
            const double f = engine::doubleFromBits(bits);
            const int32_t expected = engine::tableNote(f);
            for (int32_t guess : {k & 127, (k + 127) & 127, 0, 127})
                ASSERT_EQ(brackets->find(f, guess), expected) << f << " guess " << guess;
        }
    }
}

// A dense sweep from far below the lowest note to far above the top fold, in both
// directions (the guess is the previous answer, as in a glide), and odd values.
TEST_F(NoteBracketsTest, FindMatchesTheLogarithmOverADenseSweep) {
    int32_t guess = 0;
    const double step = std::pow(2.0, 1.0 / 65536); // 65536 steps an octave
    for (double f = 0.01; f < 400000.0; f *= step) {
        const int32_t expected = engine::tableNote(f);
        ASSERT_EQ(brackets->find(f, guess), expected) << f;
        guess = expected;
    }
    for (double f = 400000.0; f > 0.01; f /= step * 1.0000001) {
        const int32_t expected = engine::tableNote(f);
        ASSERT_EQ(brackets->find(f, guess), expected) << f;
        guess = expected;
    }
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> octaves(-10.0, 16.0);
    for (int i = 0; i < 1000000; ++i) {
        const double f = 8.0 * std::exp2(octaves(random));
        ASSERT_EQ(brackets->find(f, int32_t(random() & 127)), engine::tableNote(f)) << f;
    }
    for (double f : {0.0, -0.0, -5.0, DBL_TRUE_MIN, DBL_MIN, DBL_MAX, double(INFINITY),
                     -double(INFINITY), double(NAN), 13290.0, 1.0})
        EXPECT_EQ(brackets->find(f, 60), engine::tableNote(f)) << f;
}

} // namespace
