// The 36 parameters as a host sees them (names, defaults, value texts) and what
// setting each kind does to the engine.

#include "synth_test_support.h"

#include "synth/choice_values.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

std::string display(VstXSynth& synth, int index) {
    char text[32];
    std::memset(text, 'x', sizeof text);
    synth.getParameterDisplay(index, text);
    return text;
}

std::string displayAt(VstXSynth& synth, int index, float value) {
    synth.setParameter(index, value);
    return display(synth, index);
}

TEST(ParameterTable, NamesAndDefaultsInIndexOrder) {
    const char* names[kNumParameters] = {
        "Wave1",     "Fine1",    "Coase1",    "PW1",      "Wave2",     "Fine2",
        "Coase2",    "PW2",      "OscMix",    "Sync",     "RingMod",   "Glide",
        "GlideTyp",  "GlideDep", "Filter",    "Cutoff",   "Reso",      "Env1 Att",
        "Env1 Dec",  "Env1 Sus", "Env1 Rel",  "Env1 Dep", "Env2 Att",  "Env2 Dec",
        "Env2 Sus",  "Env2 Rel", "Env2 Dep",  "LFO1 Typ", "LFO1 Rate", "LFO1 Dep",
        "LFO1 Dest", "LFO2 Typ", "LFO2 Rate", "LFO2 Dep", "LFO2 Dest", "Volume"};
    const float defaults[kNumParameters] = {
        0,    0.5f, 0.5f,  0.5f, 0, 0.51f, 0.5f, 0.5f,  0.5f, 0, 0, 0, 0, 0.1f, 0, 1, 0, 0,
        0.5f, 0.8f, 0.01f, 0.5f, 0, 0.5f,  0.8f, 0.01f, 1,    0, 0, 0, 0, 0,    0, 0, 0, 0.8f};
    auto synth = makeSynth();
    for (int i = 0; i < kNumParameters; ++i) {
        EXPECT_EQ(kParameterTable[i].index, i);
        EXPECT_EQ(kParameterTable[i].defaultValue, defaults[i]) << i;
        char name[16];
        std::memset(name, 'x', sizeof name);
        synth->getParameterName(i, name);
        EXPECT_STREQ(name, names[i]);
        EXPECT_LE(std::strlen(name), 9u);
    }
}

TEST(ParameterTable, OutOfRangeIndicesAreIgnoredAndReadAsZero) {
    auto synth = makeSynth();
    for (int index : {-1, 36, 1000}) {
        synth->setParameter(index, 0.3f);
        EXPECT_EQ(synth->getParameter(index), 0.0f);
        char name[16] = "unchanged";
        synth->getParameterName(index, name);
        EXPECT_STREQ(name, "unchanged");
        EXPECT_EQ(display(*synth, index), "");
    }
    for (int p = 0; p < kNumPrograms; ++p)
        for (int i = 0; i < kNumParameters; ++i)
            ASSERT_EQ(synth->programs[p].values[i], kParameterTable[i].defaultValue);
}

TEST(ParameterTable, NullTextBuffersAreLeftAlone) {
    auto synth = makeSynth();
    synth->getParameterName(0, nullptr);
    synth->getParameterDisplay(0, nullptr);
    synth->getParameterDisplay(kVolume, nullptr);
}

struct TextCase {
    int index;
    float value;
    const char* text;
};

TEST(ValueTexts, EveryKindAtItsThresholdsAndTruncations) {
    const float below = std::nextafter(0.5f, 0.0f);
    const float above = std::nextafter(0.5f, 1.0f);
    const TextCase cases[] = {
        {kWave1, 0.0f, "Saw"},
        {kWave1, std::nextafter(0.2f, 0.0f), "Saw"},
        {kWave1, 0.2f, "Pulse"},
        {kWave1, 0.4f, "Tri"},
        {kWave2, 0.6f, "Sine"},
        {kWave2, std::nextafter(0.8f, 0.0f), "Sine"},
        {kWave2, 0.8f, "Noise"},
        {kWave2, 1.0f, "Noise"},
        {kFine1, 0.0f, "-50"},
        {kFine1, 0.5f, "0"},
        {kFine1, 1.0f, "50"},
        {kFine2, 0.51f, "0"},    // 0.9999990..., cut toward zero
        {kFine1, 0.255f, "-24"}, // -24.5, toward zero rather than down
        {kCoarse1, 0.3f, "-4"},  // -4.8
        {kCoarse1, 0.0f, "-12"},
        {kCoarse2, 1.0f, "12"},
        {kPulseWidth1, 0.25f, "25"},
        {kPulseWidth1, 0.29f, "28"}, // 28.999999
        {kRingMod, 1.0f, "100"},
        {kRingMod, 1.5f, "150"},  // stored unclamped
        {kRingMod, -0.3f, "-30"}, // -30.000001
        {kOscMix, 0.0f, "-50"},
        {kSync, 0.5f, "OFF"},
        {kSync, above, "ON"},
        {kGlide, 1.0f, "ON"},
        {kGlide, 0.0f, "OFF"},
        {kGlideType, below, "Time"},
        {kGlideType, 0.5f, "Depth"},
        {kGlideAmount, 0.1f, "10"},
        {kFilterType, below, "Lo-pass"},
        {kFilterType, 0.5f, "Hi-pass"},
        {kLfo1Shape, std::nextafter(0.25f, 0.0f), "Sine"},
        {kLfo1Shape, 0.25f, "Squ"},
        {kLfo2Shape, 0.5f, "Saw"},
        {kLfo2Shape, 0.75f, "S&H"},
        {kLfo1Destination, 0.1f, "----"},
        {kLfo1Destination, 0.2f, "Pitch"},
        {kLfo2Destination, 0.4f, "PWM"},
        {kLfo2Destination, 0.6f, "Cutoff"},
        {kLfo2Destination, 0.8f, "Volume"},
        {kVolume, 0.0f, "-oo"},
        {kVolume, 1.0f, "0.000000"},
        {kVolume, 0.5f, "-6.02060"},
        {kVolume, 2.0f, "6.020600"},
    };
    auto synth = makeSynth();
    for (const TextCase& c : cases)
        EXPECT_EQ(displayAt(*synth, c.index, c.value), c.text)
            << kParameterTable[c.index].name << " at " << c.value;
}

// The values LV2 hosts offer in their menus: each names a choice of its own, and
// those of the many-way choices lie on the thresholds, where their choices begin.
TEST(ValueTexts, ChoiceValuesStartEachChoice) {
    for (int index = 0; index < kNumParameters; ++index) {
        const ValueText kind = kParameterTable[index].text;
        const std::vector<float> values = choiceValues(kind);
        std::vector<std::string> seen;
        for (float value : values) {
            char at[kMaxValueTextLength + 1], below[kMaxValueTextLength + 1];
            writeValueText(kind, value, at);
            writeValueText(kind, std::nextafter(value, -1.0f), below);
            EXPECT_EQ(std::find(seen.begin(), seen.end(), at), seen.end()) << index << " " << at;
            if (value > 0.0f && values.size() > 2)
                EXPECT_STRNE(at, below) << index << " at " << value;
            seen.push_back(at);
        }
    }
}

TEST(ValueTexts, WildValuesStayWithinTheDisplayField) {
    auto synth = makeSynth();
    for (float value : {1e6f, -1e6f, 3e9f, -3e38f}) {
        const std::string text = displayAt(*synth, kCutoff, value);
        EXPECT_LE(text.size(), 8u) << value;
        EXPECT_FALSE(text.empty()) << value;
    }
}

// A plug-in class that replaces the decibel text changes the volume display.
class DecibelSpy : public SynthUnderTest {
  public:
    using SynthUnderTest::SynthUnderTest;
    float shown = -1.0f;
    int32_t length = -1;
    void dB2string(float value, char* text, int32_t maxLen) override {
        shown = value;
        length = maxLen;
        std::strcpy(text, "spy");
    }
};

TEST(ValueTexts, VolumeGoesThroughTheDecibelTextOperation) {
    auto synth = std::make_unique<DecibelSpy>(FakeHost::callback);
    EXPECT_EQ(displayAt(*synth, kVolume, 0.25f), "spy");
    EXPECT_EQ(synth->shown, 0.25f);
    EXPECT_EQ(synth->length, 8);
}

TEST(ParameterEffects, EveryWriteReachesMirrorAndCurrentProgram) {
    auto synth = makeSynth();
    synth->setParameter(kPulseWidth1, 0.25f);
    EXPECT_EQ(synth->getParameter(kPulseWidth1), 0.25f);
    EXPECT_EQ(synth->programs[0].values[kPulseWidth1], 0.25f);
    EXPECT_EQ(synth->programs[1].values[kPulseWidth1], 0.5f);
    EXPECT_EQ(synth->oscillators.pulseWidth1, 128.0);
    EXPECT_EQ(display(*synth, kPulseWidth1), "25");
}

TEST(ParameterEffects, NonFiniteValuesStoreNothing) {
    auto synth = makeSynth();
    const double b0 = synth->filter.b0;
    for (float value : {NAN, INFINITY, -INFINITY}) {
        synth->setParameter(kCutoff, value);
        synth->setParameter(kRingMod, value);
        EXPECT_EQ(synth->getParameter(kCutoff), 1.0f);
        EXPECT_EQ(synth->programs[0].values[kRingMod], 0.0f);
        EXPECT_EQ(synth->filter.b0, b0);
    }
    EventList notes;
    send(*synth, notes.noteOn(60, 100));
    for (int i = 0; i < 4; ++i)
        for (float sample : render(*synth, 256).left)
            ASSERT_TRUE(std::isfinite(sample));
}

TEST(ParameterEffects, TuningFollowsCoarseAndFineOfEachOscillator) {
    auto synth = makeSynth();
    EXPECT_EQ(synth->oscillators.tuning1, 1.0);
    synth->setParameter(kCoarse1, 1.0f);
    EXPECT_EQ(synth->oscillators.tuning1, std::pow(1.059463094359, 12.0));
    synth->setParameter(kFine1, 0.0f);
    EXPECT_EQ(synth->oscillators.tuning1, std::pow(1.059463094359, 11.0));
    // Oscillator 2 starts a fiftieth of a semitone sharp, though its text says 0.
    EXPECT_GT(synth->oscillators.tuning2, 1.001);
    synth->setParameter(kFine2, 0.5f);
    EXPECT_EQ(synth->oscillators.tuning2, 1.0);
    synth->setParameter(kCoarse2, 0.0f);
    EXPECT_EQ(synth->oscillators.tuning2, std::pow(1.059463094359, -12.0));
    EXPECT_EQ(synth->oscillators.tuning1, std::pow(1.059463094359, 11.0));
}

TEST(ParameterEffects, PulseWidthsSyncAndGlideSwitch) {
    auto synth = makeSynth();
    synth->setParameter(kPulseWidth2, 0.0f);
    EXPECT_EQ(synth->oscillators.pulseWidth2, 2.0);
    synth->setParameter(kPulseWidth2, 1.0f);
    EXPECT_EQ(synth->oscillators.pulseWidth2, 510.0);

    synth->setParameter(kSync, 0.5f);
    EXPECT_FALSE(synth->oscillators.syncEnabled);
    synth->setParameter(kSync, 0.5000001f);
    EXPECT_TRUE(synth->oscillators.syncEnabled);
    synth->setParameter(kGlide, 0.5f);
    EXPECT_FALSE(synth->oscillators.glideEnabled);
    synth->setParameter(kGlide, 0.51f);
    EXPECT_TRUE(synth->oscillators.glideEnabled);
}

TEST(ParameterEffects, GlideAmountSetsTheAmountOfTheModeInForce) {
    auto synth = makeSynth();
    const double depthRateAt02 = std::pow(2.0, (1.0 - double(0.2f) * 0.99) * 0.000833);

    synth->setParameter(kGlideType, 0.5f);
    EXPECT_TRUE(synth->oscillators.glideDepthMode);
    const double timeBefore = synth->oscillators.glideTime;
    synth->setParameter(kGlideAmount, 0.2f);
    EXPECT_EQ(synth->oscillators.glideRate, depthRateAt02);
    EXPECT_EQ(synth->oscillators.glideTime, timeBefore);

    synth->setParameter(kGlideType, 0.4999f);
    EXPECT_FALSE(synth->oscillators.glideDepthMode);
    synth->setParameter(kGlideAmount, 0.3f);
    EXPECT_EQ(synth->oscillators.glideTime, double(0.3f) * double(0.3f) * 2.99 + 0.01);
    EXPECT_EQ(synth->oscillators.glideRate, depthRateAt02);
    EXPECT_FALSE(synth->oscillators.glideDepthMode);

    // The type takes the amount already in the mirror.
    synth->setParameter(kGlideType, 1.0f);
    EXPECT_EQ(synth->oscillators.glideRate, std::pow(2.0, (1.0 - double(0.3f) * 0.99) * 0.000833));
}

TEST(ParameterEffects, FilterModeCutoffAndResonance) {
    auto synth = makeSynth();
    synth->setParameter(kFilterType, 0.5f);
    EXPECT_EQ(synth->filter.mode, ResonantFilter::HighPass);
    synth->setParameter(kFilterType, 0.4999f);
    EXPECT_EQ(synth->filter.mode, ResonantFilter::LowPass);
    synth->setParameter(kCutoff, 0.0f);
    EXPECT_NEAR(synth->filter.angularCutoff, 0.0056990343f, 1e-9);

    const std::pair<float, float> resonance[] = {{0.0f, 1.0f}, {0.5f, 30.25f}, {1.0f, 100.0f}};
    for (auto [value, divisor] : resonance) {
        synth->setParameter(kResonance, value);
        EXPECT_EQ(synth->filter.resonanceFactor, divisor);
    }
}

TEST(ParameterEffects, EnvelopeTimesRunFromTenMillisecondsToFiveSeconds) {
    EXPECT_EQ(envelopeSeconds(0.0f), 0.01f);
    EXPECT_NEAR(envelopeSeconds(0.5f), 2.077, 0.001);
    EXPECT_NEAR(envelopeSeconds(1.0f), 5.0, 1e-6);

    auto synth = makeSynth();
    synth->setParameter(kEnv2Release, 1.0f);
    EXPECT_EQ(synth->envelope2.releaseStep,
              static_cast<float>(1.0 / (44100.0 * double(envelopeSeconds(1.0f)))));
    synth->setParameter(kEnv1Sustain, -0.2f);
    EXPECT_EQ(synth->envelope1.sustainLevel, 0.0f);
    EXPECT_EQ(synth->getParameter(kEnv1Sustain), -0.2f);
    synth->setParameter(kEnv2Sustain, 0.3f);
    EXPECT_EQ(synth->envelope2.sustainLevel, 0.3f);
    EXPECT_EQ(synth->envelope1.sustainLevel, 0.0f);
}

TEST(ParameterEffects, EachLfoTakesItsOwnFourParameters) {
    auto synth = makeSynth();
    synth->setParameter(kLfo2Shape, 0.75f);
    synth->setParameter(kLfo2Rate, 1.0f);
    synth->setParameter(kLfo2Depth, 0.6f);
    synth->setParameter(kLfo2Destination, 0.8f);
    EXPECT_EQ(synth->lfo2.shape, Lfo::SampleAndHold);
    EXPECT_NEAR(synth->lfo2.increment, 50.1 * 512.0 / 44100.0, 1e-5);
    EXPECT_EQ(synth->lfo2.depth, 0.6f);
    EXPECT_EQ(synth->lfo2.destination, Lfo::ToVolume);
    EXPECT_EQ(synth->lfo1.shape, Lfo::Sine);
    EXPECT_EQ(synth->lfo1.depth, 0.0f);
    EXPECT_EQ(synth->lfo1.destination, Lfo::ToNothing);

    synth->setParameter(kLfo1Destination, 0.2f);
    EXPECT_EQ(synth->lfo1.destination, Lfo::ToPitch);
}

} // namespace
