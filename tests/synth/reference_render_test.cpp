// The plug-in's output against the reference implementation, bit for bit, across
// waveforms, glide, LFO destinations and filter sweeps.

#include "reference_synth.h"
#include "synth_test_support.h"

#include "engine/random_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

// Drives the plug-in and the reference through the same scenario.
class Duet {
  public:
    explicit Duet(const std::vector<std::pair<int, float>>& settings) : synth(makeSynth()) {
        float parameters[kNumParameters];
        for (int i = 0; i < kNumParameters; ++i)
            parameters[i] = kParameterTable[i].defaultValue;
        for (auto [index, value] : settings)
            parameters[index] = value;
        // Set in index order, as a program load does.
        for (int i = 0; i < kNumParameters; ++i)
            synth->setParameter(i, parameters[i]);
        reference = std::make_unique<reference::Synth>(parameters);
        reference->random.seed = random_source::seed;
    }

    void set(int index, float value) {
        synth->setParameter(index, value);
        reference->set(index, value);
    }
    void freshNote(int key, int32_t delta = 0) {
        EventList events;
        send(*synth, events.noteOn(key, 100, delta));
        reference->freshNote(key, delta);
    }
    void legatoNote(int key) {
        EventList events;
        send(*synth, events.noteOn(key, 100));
        reference->legatoNote(key);
    }
    void releaseLast(int key) {
        EventList events;
        send(*synth, events.noteOff(key));
        reference->releaseNote();
    }

    // Renders blocks and compares every sample; returns the number of non-zero ones.
    int compare(int blocks, int frames = 256) {
        int sounding = 0;
        std::vector<float> expected(frames);
        for (int b = 0; b < blocks; ++b) {
            const Block block = render(*synth, frames);
            reference->render(expected.data(), frames);
            for (int i = 0; i < frames; ++i) {
                if (!sameBits(block.left[i], expected[i]) ||
                    !sameBits(block.right[i], expected[i])) {
                    ADD_FAILURE() << "block " << b << " frame " << i << ": plug-in "
                                  << block.left[i] << " / " << block.right[i] << ", reference "
                                  << expected[i];
                    return sounding;
                }
                if (expected[i] != 0.0f) ++sounding;
            }
        }
        return sounding;
    }

    std::unique_ptr<SynthUnderTest> synth;
    std::unique_ptr<reference::Synth> reference;

  private:
    static bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
};

TEST(ReferenceRender, DefaultProgramNoteAndRelease) {
    Duet duet({});
    duet.freshNote(60, 37);
    EXPECT_GT(duet.compare(8), 1000);
    duet.releaseLast(60);
    duet.compare(12, 200); // the default release takes about 1970 samples from full scale
    EXPECT_FALSE(duet.synth->voiceActive);
}

TEST(ReferenceRender, EveryWaveformPairWithRingModAndMix) {
    const float waves[] = {0.0f, 0.3f, 0.5f, 0.7f, 0.9f};
    for (int w1 = 0; w1 < 5; ++w1) {
        Duet duet({{kWave1, waves[w1]},
                   {kWave2, waves[(w1 + 2) % 5]},
                   {kRingMod, 0.6f},
                   {kOscMix, 0.3f + 0.1f * w1},
                   {kPulseWidth1, 0.2f},
                   {kPulseWidth2, 0.9f},
                   {kCoarse2, 0.7f}});
        duet.freshNote(45 + 7 * w1);
        EXPECT_GT(duet.compare(6), 1000) << "wave1 " << w1;
    }
}

TEST(ReferenceRender, SyncPulseWidthModulationAndHighNotes) {
    Duet duet({{kWave1, 0.3f},
               {kSync, 1.0f},
               {kCoarse2, 0.8f},
               {kFine1, 0.2f},
               {kLfo1Destination, 0.5f},
               {kLfo1Depth, 0.8f},
               {kLfo1Rate, 0.4f},
               {kLfo2Destination, 0.5f},
               {kLfo2Shape, 0.5f},
               {kLfo2Depth, 0.5f},
               {kLfo2Rate, 0.7f}});
    duet.freshNote(110);
    EXPECT_GT(duet.compare(8), 1000);
    duet.legatoNote(20);
    EXPECT_GT(duet.compare(8), 1000);
}

TEST(ReferenceRender, TimeGlideBetweenLegatoNotes) {
    Duet duet({{kGlide, 1.0f}, {kGlideAmount, 0.15f}, {kWave2, 0.5f}});
    duet.freshNote(48); // glides up from 1 Hz
    duet.compare(4);
    duet.legatoNote(67);
    duet.compare(8);
    duet.legatoNote(40);
    EXPECT_GT(duet.compare(8), 1000);
    duet.set(kGlideAmount, 0.05f); // a new time is heard from the next note on
    duet.legatoNote(52);
    duet.compare(8);
}

TEST(ReferenceRender, DepthGlideAlternatesAroundTheTarget) {
    Duet duet({{kGlide, 1.0f}, {kGlideType, 0.6f}, {kGlideAmount, 0.3f}, {kWave1, 0.7f}});
    duet.freshNote(60);
    duet.compare(4);
    duet.legatoNote(72);
    EXPECT_GT(duet.compare(12), 1000);
    duet.set(kGlideAmount, 0.0f);
    duet.legatoNote(55);
    duet.compare(8);
}

TEST(ReferenceRender, FilterSweepsByEnvelopeLfoAndParameter) {
    Duet duet({{kCutoff, 0.2f},
               {kResonance, 0.7f},
               {kEnv1Depth, 1.0f},
               {kEnv1Attack, 0.1f},
               {kEnv1Decay, 0.2f},
               {kEnv1Sustain, 0.3f},
               {kLfo2Destination, 0.7f},
               {kLfo2Shape, 0.3f},
               {kLfo2Depth, 0.4f},
               {kLfo2Rate, 0.5f},
               {kEnv2Release, 0.1f}});
    duet.freshNote(36);
    duet.compare(8);
    for (int step = 0; step < 8; ++step) {
        duet.set(kCutoff, 0.1f * step);
        duet.compare(1, 128);
    }
    duet.set(kFilterType, 0.5f);
    duet.set(kEnv1Depth, 0.0f);
    EXPECT_GT(duet.compare(8), 1000);
    duet.releaseLast(36);
    duet.compare(8);
}

TEST(ReferenceRender, SampleAndHoldNoiseAndVolumeModulation) {
    Duet duet({{kWave1, 1.0f},
               {kWave2, 0.0f},
               {kOscMix, 0.6f},
               {kLfo1Shape, 1.0f},
               {kLfo1Rate, 0.6f},
               {kLfo1Depth, 0.3f},
               {kLfo1Destination, 0.3f},
               {kLfo2Shape, 1.0f},
               {kLfo2Rate, 0.45f},
               {kLfo2Depth, 1.0f},
               {kLfo2Destination, 1.0f},
               {kEnv2Depth, 0.1f},
               {kVolume, 1.0f}});
    duet.freshNote(57, 12);
    EXPECT_GT(duet.compare(16), 3000);
}

TEST(ReferenceRender, PitchLfosAndTuningChangesDuringANote) {
    Duet duet({{kWave1, 0.5f},
               {kWave2, 0.7f},
               {kLfo1Destination, 0.3f},
               {kLfo1Depth, 0.1f},
               {kLfo1Rate, 0.3f},
               {kLfo2Destination, 0.3f},
               {kLfo2Shape, 0.6f},
               {kLfo2Depth, 0.05f},
               {kLfo2Rate, 0.9f},
               {kEnv2Sustain, 0.5f}});
    duet.freshNote(72);
    duet.compare(4);
    duet.set(kCoarse1, 0.25f);
    duet.set(kFine2, 0.9f);
    EXPECT_GT(duet.compare(6), 1000);
}

} // namespace
