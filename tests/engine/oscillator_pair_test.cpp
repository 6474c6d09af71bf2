#include "engine/oscillator_pair.h"

#include "engine/random_source.h"
#include "engine/wavetable_bank.h"
#include "lcg_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// Linear interpolation between neighbouring points, as a player of these tables reads them.
double reading(const float* table, double position) {
    const int i = static_cast<int>(position);
    const double a = table[i & 511], b = table[(i + 1) & 511];
    return a + (position - i) * (b - a);
}

class OscillatorPairTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        bank = std::make_unique<WavetableBank>();
        bank->rebuild(44100);
    }
    static void TearDownTestSuite() { bank.reset(); }

    void SetUp() override {
        osc.init();
        osc.tables = bank.get();
        osc.setSampleRate(44100);
    }

    // Tuning 1, glide off: plays the pitch table's frequency for `note`.
    void play(int note, double hz = 0) {
        if (hz > 0) osc.pitchTable[note] = hz;
        osc.startNote(note);
    }

    static std::unique_ptr<WavetableBank> bank;
    OscillatorPair osc;
};

std::unique_ptr<WavetableBank> OscillatorPairTest::bank;

TEST_F(OscillatorPairTest, PitchTableIsRepeatedMultiplication) {
    EXPECT_EQ(osc.pitchTable[0], 8.175798915636872);
    EXPECT_EQ(osc.pitchTable[69], 439.9999999911709);
    EXPECT_EQ(osc.pitchTable[127], 12543.853950961504);
    EXPECT_EQ(osc.phaseScale, 512.0 / 44100);
}

TEST_F(OscillatorPairTest, Note69AdvancesBothPhasesAlike) {
    play(69);
    osc.tick(0, 0);
    EXPECT_EQ(osc.currentFrequency, 439.9999999911709);
    EXPECT_EQ(osc.phase1, 5.108390022573231);
    EXPECT_EQ(osc.phase2, 5.108390022573231);
}

TEST_F(OscillatorPairTest, PicksTheTablesOfTheNoteBelowAtTuningOne) {
    for (int note : {60, 69}) {
        play(note);
        const float out = osc.tick(0, 0).out1;
        EXPECT_EQ(out, static_cast<float>(reading(bank->sawTable(note - 1), osc.phase1))) << note;
        EXPECT_NE(out, static_cast<float>(reading(bank->sawTable(note), osc.phase1))) << note;
    }
    auto playedTable = [&](int note, double hz, float octaves) {
        play(note, hz);
        const float out = osc.tick(octaves, 0).out1;
        for (int table = 0; table < 128; ++table)
            if (out == static_cast<float>(reading(bank->sawTable(table), osc.phase1)))
                return table; // the lowest of identical tables
        return -1;
    };
    // Note 0 stays on its own tables (0 to 34 are alike at this rate), not note 127's.
    EXPECT_EQ(playedTable(0, 0, 0), 0);
    // From about 13290 Hz the choice folds back onto the lowest notes.
    EXPECT_EQ(playedTable(69, 14000, 0), 0);
    // One octave of pitch modulation moves to the tables 12 notes up.
    EXPECT_EQ(playedTable(57, 0, 1), 68);
}

TEST_F(OscillatorPairTest, WaveformsReadTheirTables) {
    osc.setWave1(0.45f); // triangle
    osc.setWave2(0.6f);  // sine: the boundary belongs to the upper choice
    ASSERT_EQ(osc.wave1, OscillatorPair::Triangle);
    ASSERT_EQ(osc.wave2, OscillatorPair::Sine);
    play(69);
    for (int i = 0; i < 100; ++i) {
        const OscillatorPair::Output out = osc.tick(0, 0.7f); // pwm leaves these alone
        ASSERT_EQ(out.out1, static_cast<float>(reading(bank->triangleTable(68), osc.phase1)));
        ASSERT_EQ(out.out2, static_cast<float>(reading(bank->sineTable(), osc.phase2)));
    }
}

TEST_F(OscillatorPairTest, PulseIsTheDifferenceOfTwoSawReadings) {
    osc.setWave1(0.2f);
    osc.setWave2(0.39f);
    osc.pulseWidth1 = 100;
    osc.pulseWidth2 = 300;
    play(45);
    for (int i = 0; i < 100; ++i) {
        const OscillatorPair::Output out = osc.tick(0, 0.25f);
        const float* saw = bank->sawTable(44);
        const double q1 = (100 + osc.phase1) + 0.25 * static_cast<double>(506.88f);
        ASSERT_EQ(out.out1,
                  static_cast<float>(0.5 * (reading(saw, osc.phase1) - reading(saw, q1))));
        const double q2 = 300 + osc.phase2;
        ASSERT_EQ(out.out2,
                  static_cast<float>(0.5 * (reading(saw, osc.phase2) - reading(saw, q2))));
    }

    // A width of 0 or a whole cycle leaves nothing of the pulse.
    for (double width : {0.0, 512.0}) {
        osc.pulseWidth1 = width;
        play(45);
        for (int i = 0; i < 1000; ++i)
            ASSERT_NEAR(osc.tick(0, 0).out1, 0.0f, 1e-6) << width;
    }
}

TEST_F(OscillatorPairTest, NoiseDrawsOscillatorOneFirst) {
    osc.setWave1(0.8f);
    osc.setWave2(1.0f);
    play(60);
    random_source::seed = lcg_reference::seedBefore(0x00000000u); // result 0
    const uint32_t second = lcg_reference::step(0);
    OscillatorPair::Output out = osc.tick(0, 0);
    EXPECT_EQ(out.out1, -1.0f);
    EXPECT_EQ(out.out2, static_cast<float>(lcg_reference::resultOf(second) / 32767.0 * 2.0 - 1.0));

    random_source::seed = lcg_reference::seedBefore(0x7FFF0000u); // result 32767
    EXPECT_EQ(osc.tick(0, 0).out1, 1.0f);
}

TEST_F(OscillatorPairTest, SyncRestartsOscillatorOneWithOscillatorTwo) {
    osc.tuning2 = 1.5;
    play(60);
    double highest = 0;
    for (int i = 0; i < 5000; ++i) {
        osc.tick(0, 0);
        highest = std::max(highest, osc.phase1);
    }
    EXPECT_GT(highest, 511.0); // free running: both phases cover the whole cycle

    osc.syncEnabled = true;
    play(60);
    highest = 0;
    for (int i = 0; i < 5000; ++i) {
        const double before = osc.phase2;
        osc.tick(0, 0);
        if (osc.phase2 < before) {
            ASSERT_EQ(osc.phase1, osc.phase2);
        }
        highest = std::max(highest, osc.phase1);
    }
    EXPECT_LT(highest, 512.0 / 1.5 + 4.0); // cut short at two thirds of its cycle
}

TEST_F(OscillatorPairTest, PhaseWrapsOnceBelowAndFullyAboveTheSampleRate) {
    osc.setSampleRate(512); // one table point per sample per Hz
    play(60, 128);
    for (double expected : {128.0, 256.0, 384.0, 512.0, 128.0}) {
        osc.tick(0, 0);
        ASSERT_EQ(osc.phase1, expected); // exactly 512 stays until the next sample
    }

    play(60, 1300); // above the sample rate: kept within one cycle
    for (int k = 1; k <= 50; ++k) {
        osc.tick(0, 0);
        ASSERT_EQ(osc.phase1, std::fmod(1300.0 * k, 512.0)) << k;
        ASSERT_EQ(osc.phase2, osc.phase1) << k;
    }
}

TEST_F(OscillatorPairTest, GlideOffFollowsTheTargetAtOnce) {
    osc.glideEnabled = false;
    play(60);
    osc.tick(0, 0);
    EXPECT_EQ(osc.currentFrequency, osc.pitchTable[60]);
    osc.tuning1 = 2.0;
    osc.retune(60);
    osc.tick(0, 0);
    EXPECT_EQ(osc.currentFrequency, osc.pitchTable[60] * 2.0);
}

TEST_F(OscillatorPairTest, TimeGlideReachesTheTargetAndStays) {
    osc.glideEnabled = true;
    osc.setGlide(0.0f, 1.0f);
    ASSERT_FALSE(osc.glideDepthMode);
    EXPECT_DOUBLE_EQ(osc.glideTime, 3.0);
    osc.glideTime = 0.5;
    osc.currentFrequency = 220;
    play(69, 440);
    EXPECT_EQ(osc.glideMultiplier, std::pow(2.0, 1.0 / 22050));

    int arrival = 0;
    double previous = 220;
    for (int i = 1; i <= 30000; ++i) {
        osc.tick(0, 0);
        if (arrival == 0 && osc.currentFrequency == 440.0) arrival = i;
        if (arrival == 0)
            ASSERT_GT(osc.currentFrequency, previous);
        else
            ASSERT_EQ(osc.currentFrequency, 440.0) << i;
        previous = osc.currentFrequency;
    }
    EXPECT_GE(arrival, 22050);
    EXPECT_LE(arrival, 22052);
}

TEST_F(OscillatorPairTest, DepthGlideClimbsAtAFixedRateThenAlternates) {
    osc.glideEnabled = true;
    osc.setGlide(0.5f, 0.0f);
    ASSERT_TRUE(osc.glideDepthMode);
    EXPECT_EQ(osc.glideRate, std::pow(2.0, 0.000833));
    osc.currentFrequency = 220;
    play(69, 440);

    int ticks = 0;
    while (osc.currentFrequency < 440.0 && ticks < 5000) {
        osc.tick(0, 0);
        ++ticks;
    }
    EXPECT_NEAR(ticks, 1.0 / 0.000833, 1.0); // one octave in about 1200 samples
    for (int i = 0; i < 100; ++i) {
        const bool above = osc.currentFrequency > 440.0;
        osc.tick(0, 0);
        ASSERT_NE(osc.currentFrequency > 440.0, above) << i;
        ASSERT_LT(std::fabs(std::log2(osc.currentFrequency / 440.0)), 0.000833) << i;
    }

    osc.setGlideRate(1.0f); // slowest: 0.00000833 octave per sample
    EXPECT_NEAR(osc.glideRate, 1.0000058, 1e-7);
}

// A tuning far outside its range makes the frequency infinite; once the tuning is back,
// the oscillator must sound again rather than stay NaN for the rest of the instance.
TEST_F(OscillatorPairTest, RecoversFromAnInfiniteFrequency) {
    osc.tuning1 = HUGE_VAL;
    play(69);
    for (int i = 0; i < 4; ++i)
        osc.tick(0, 0);
    ASSERT_TRUE(std::isinf(osc.currentFrequency));

    // Depth glide would otherwise step the infinity by a factor forever.
    osc.glideEnabled = true;
    osc.setGlide(0.5f, 0.0f);
    osc.tuning1 = 1.0;
    osc.retune(69);
    for (int i = 0; i < 4; ++i) {
        const OscillatorPair::Output out = osc.tick(0, 0);
        ASSERT_TRUE(std::isfinite(out.out1) && std::isfinite(out.out2)) << i;
    }
    EXPECT_EQ(osc.currentFrequency, osc.pitchTable[69]);
    EXPECT_TRUE(std::isfinite(osc.phase1) && std::isfinite(osc.phase2));
}

// The render loop plays one Step for a stretch of samples while a host thread may switch
// a waveform: a Step keeps the waveforms its tables were chosen for.
TEST_F(OscillatorPairTest, AStepPlaysTheWaveformsItsTablesWereChosenFor) {
    osc.wave1 = OscillatorPair::Noise; // no table
    osc.wave2 = OscillatorPair::Noise;
    play(60);
    const OscillatorPair::Step step = osc.frequencyStep(0.0f);
    osc.wave1 = OscillatorPair::Pulse; // but the step was taken for noise
    osc.wave2 = OscillatorPair::Saw;
    random_source::seed = 1;
    const OscillatorPair::Output out = osc.play(step, 0.0f);
    random_source::seed = 1;
    EXPECT_EQ(out.out1, static_cast<float>(random_source::nextSample()));
    EXPECT_EQ(out.out2, static_cast<float>(random_source::nextSample()));
}

} // namespace
