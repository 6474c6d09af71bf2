// The plug-in's output against the reference implementation, bit for bit, across
// waveforms, glide, LFO destinations, filter sweeps, sample rates, program changes
// and block sizes. The engine keeps caches (filter coefficients, table notes, the
// pitch factor) that must never change a sample; these scenarios are chosen to make
// each cache both hit and miss: values that stay put, creep, jump and clamp.

#include "reference_synth.h"
#include "synth_test_support.h"

#include "engine/random_source.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <initializer_list>
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

        // Every program starts at the defaults; the settings went into program 0.
        for (int i = 0; i < kNumParameters; ++i)
            programs[0][i] = parameters[i];
        for (int program = 1; program < kNumPrograms; ++program)
            for (int i = 0; i < kNumParameters; ++i)
                programs[program][i] = kParameterTable[i].defaultValue;
    }

    // Lands in the current program too, as the plug-in's own parameter writes do.
    void set(int index, float value) {
        synth->setParameter(index, value);
        reference->set(index, value);
        programs[current][index] = value;
    }
    void setProgram(int program) {
        synth->setProgram(program);
        reference->loadProgram(programs[program].data());
        current = program;
    }
    void setSampleRate(float rate) {
        synth->setSampleRate(rate);
        reference->setSampleRate(rate);
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
    // A key under the sounding one: its release changes nothing that sounds.
    void releaseBackground(int key) {
        EventList events;
        send(*synth, events.noteOff(key));
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
                    ADD_FAILURE() << "block " << b << " of " << frames << " frames, frame " << i
                                  << ": plug-in " << block.left[i] << " / " << block.right[i]
                                  << ", reference " << expected[i];
                    return sounding;
                }
                if (expected[i] != 0.0f) ++sounding;
            }
        }
        return sounding;
    }

    // One block of each size in turn; returns the number of non-zero samples.
    int compareSizes(std::initializer_list<int> sizes) {
        int sounding = 0;
        for (int frames : sizes)
            sounding += compare(1, frames);
        return sounding;
    }

    std::unique_ptr<SynthUnderTest> synth;
    std::unique_ptr<reference::Synth> reference;

  private:
    std::array<std::array<float, kNumParameters>, kNumPrograms> programs;
    int current = 0;

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

// The cutoff creeps up through the clamp at 1 under a slow attack, then stands at the
// sustain level with a tiny slow LFO that moves it by less than one float step for
// several samples at a time.
TEST(ReferenceRender, SlowCutoffSweepsCreepHoldAndClamp) {
    Duet duet({{kCutoff, 0.55f},
               {kEnv1Depth, 1.0f},
               {kEnv1Attack, 0.9f},
               {kEnv1Decay, 0.0f},
               {kEnv1Sustain, 0.2f},
               {kResonance, 0.8f},
               {kLfo1Destination, 0.7f},
               {kLfo1Depth, 0.002f},
               {kLfo1Rate, 0.0f}});
    duet.freshNote(40);
    EXPECT_GT(duet.compare(420), 100000); // about 2.4 s: the cutoff reaches the clamp
    EXPECT_EQ(duet.synth->filter.angularCutoff, duet.reference->filter.w);
    duet.set(kEnv1Attack, 0.0f);
    EXPECT_GT(duet.compare(60), 10000);
    duet.set(kCutoff, 0.3f); // the parameter itself moves the cutoff between blocks
    duet.compare(20);
    duet.releaseLast(40);
    duet.compare(20);
}

// Square and sample-and-hold LFOs jump the cutoff; a fast envelope with inverted depth
// sweeps it down; high-pass at full resonance.
TEST(ReferenceRender, FastCutoffSweepsAtFullResonanceHighPass) {
    Duet duet({{kCutoff, 0.5f},
               {kFilterType, 0.5f},
               {kResonance, 1.0f},
               {kEnv1Depth, 0.0f},
               {kEnv1Attack, 0.02f},
               {kEnv1Decay, 0.05f},
               {kEnv1Sustain, 0.4f},
               {kLfo1Shape, 0.8f},
               {kLfo1Rate, 0.8f},
               {kLfo1Depth, 0.6f},
               {kLfo1Destination, 0.7f},
               {kLfo2Shape, 0.3f},
               {kLfo2Rate, 1.0f},
               {kLfo2Depth, 1.0f},
               {kLfo2Destination, 0.7f},
               {kWave1, 0.5f}});
    duet.freshNote(33);
    EXPECT_GT(duet.compare(24), 5000);
    duet.set(kFilterType, 0.0f); // the mode alone changes, the cutoff may not
    duet.set(kResonance, 0.3f);
    EXPECT_GT(duet.compare(8), 1000);
}

// Time-mode glides across many table-note boundaries, up from 1 Hz (below the lowest
// note, where the note value wraps to high tables), up, down, under a pitch LFO.
TEST(ReferenceRender, TimeGlidesAcrossTableNoteBoundaries) {
    Duet duet({{kGlide, 1.0f},
               {kGlideAmount, 0.4f},
               {kWave1, 0.0f},
               {kWave2, 0.5f},
               {kCoarse2, 0.75f},
               {kLfo1Destination, 0.3f},
               {kLfo1Depth, 0.2f},
               {kLfo1Rate, 0.5f}});
    duet.freshNote(30);
    EXPECT_GT(duet.compare(100), 20000);
    duet.legatoNote(96);
    EXPECT_GT(duet.compare(100), 20000);
    duet.legatoNote(20);
    EXPECT_GT(duet.compare(100), 20000);
    duet.set(kLfo1Depth, 0.0f); // no modulation: the frequency settles on the target
    duet.legatoNote(75);
    EXPECT_GT(duet.compare(100), 20000);
}

// Depth-mode glides, which never settle but alternate around the target, so the
// frequency changes every sample; down into the notes that keep their own tables.
TEST(ReferenceRender, DepthGlidesAcrossTableNoteBoundaries) {
    Duet duet({{kGlide, 1.0f},
               {kGlideType, 0.6f},
               {kGlideAmount, 0.2f},
               {kWave1, 0.5f},
               {kWave2, 0.3f},
               {kFine2, 0.8f}});
    duet.freshNote(24);
    duet.compare(20);
    duet.legatoNote(100);
    EXPECT_GT(duet.compare(50), 10000);
    duet.legatoNote(8);
    EXPECT_GT(duet.compare(50), 10000);
    duet.set(kGlideAmount, 0.9f);
    duet.legatoNote(9);
    duet.compare(20);
}

// Oscillator 2 tuned an octave up from a high note, with a saw LFO on the pitch:
// its frequency crosses the point (about 13290 Hz) where the note value reaches 128
// and folds onto the lowest tables.
TEST(ReferenceRender, PitchModulationAcrossTheTopFold) {
    Duet duet({{kCoarse2, 1.0f},
               {kWave2, 0.3f},
               {kOscMix, 0.7f},
               {kLfo1Shape, 0.6f},
               {kLfo1Destination, 0.3f},
               {kLfo1Depth, 0.5f},
               {kLfo1Rate, 0.6f}});
    duet.freshNote(120);
    EXPECT_GT(duet.compare(40), 8000);
}

// Every LFO shape on the pitch, LFO 2 adding a second shape.
TEST(ReferenceRender, PitchLfosOfEveryShape) {
    const float shapes[] = {0.0f, 0.3f, 0.6f, 0.9f};
    for (int shape = 0; shape < 4; ++shape) {
        Duet duet({{kWave1, 0.3f},
                   {kWave2, 0.0f},
                   {kLfo1Shape, shapes[shape]},
                   {kLfo1Destination, 0.3f},
                   {kLfo1Depth, 0.5f},
                   {kLfo1Rate, 0.75f},
                   {kLfo2Shape, shapes[(shape + 1) % 4]},
                   {kLfo2Destination, 0.3f},
                   {kLfo2Depth, 0.05f},
                   {kLfo2Rate, 0.95f}});
        duet.freshNote(64);
        EXPECT_GT(duet.compare(12), 2000) << "shape " << shape;
    }
}

// Hard sync, noise through the ring modulator, a sample-and-hold cutoff and a resonant
// high-pass together.
TEST(ReferenceRender, SyncNoiseSampleAndHoldAndResonance) {
    Duet duet({{kWave1, 0.0f},
               {kSync, 1.0f},
               {kCoarse2, 0.9f},
               {kWave2, 0.9f},
               {kRingMod, 0.5f},
               {kOscMix, 0.4f},
               {kFilterType, 0.7f},
               {kResonance, 0.95f},
               {kCutoff, 0.3f},
               {kEnv1Depth, 0.8f},
               {kLfo2Shape, 0.9f},
               {kLfo2Rate, 0.6f},
               {kLfo2Depth, 0.3f},
               {kLfo2Destination, 0.7f}});
    duet.freshNote(50);
    EXPECT_GT(duet.compare(16), 3000);
    duet.legatoNote(62);
    EXPECT_GT(duet.compare(16), 3000);
}

// Rates set before a note and changed while one sounds. A steady cutoff must still
// follow the new rate; the tables, pitch steps and filter span change with it.
TEST(ReferenceRender, SampleRateChangesBeforeAndDuringNotes) {
    const std::vector<std::vector<std::pair<int, float>>> patches = {
        {},
        {{kCutoff, 0.45f}, {kResonance, 0.6f}}, // a cutoff that stands still below the top
        {{kGlide, 1.0f},
         {kGlideAmount, 0.3f},
         {kWave2, 0.5f},
         {kEnv1Depth, 0.9f},
         {kCutoff, 0.2f},
         {kResonance, 0.6f},
         {kLfo1Destination, 0.3f},
         {kLfo1Depth, 0.1f},
         {kLfo1Rate, 0.4f},
         {kLfo2Destination, 0.7f},
         {kLfo2Depth, 0.2f},
         {kLfo2Rate, 0.3f}},
    };
    for (size_t patch = 0; patch < patches.size(); ++patch) {
        Duet duet(patches[patch]);
        duet.setSampleRate(22050.0f);
        duet.freshNote(57);
        EXPECT_GT(duet.compare(20), 4000) << "patch " << patch;
        duet.setSampleRate(48000.0f);
        EXPECT_GT(duet.compare(20), 4000) << "patch " << patch;
        duet.legatoNote(45);
        duet.setSampleRate(96000.0f);
        EXPECT_GT(duet.compare(30), 6000) << "patch " << patch;
        duet.releaseBackground(57);
        duet.releaseLast(45);
        duet.compare(10);
        duet.setSampleRate(44100.0f);
        duet.freshNote(69, 100);
        EXPECT_GT(duet.compare(20), 4000) << "patch " << patch;
    }
}

// A program change is 36 parameter writes at once, between blocks of a held note:
// waveforms, filter mode and resonance change while the cutoff may stay the same.
TEST(ReferenceRender, ProgramChangesDuringANote) {
    Duet duet({{kWave1, 0.3f},
               {kResonance, 0.5f},
               {kCutoff, 0.7f},
               {kLfo1Destination, 0.3f},
               {kLfo1Depth, 0.05f},
               {kLfo1Rate, 0.5f}});
    duet.setProgram(1);
    duet.set(kFilterType, 1.0f);
    duet.set(kResonance, 0.9f);
    duet.set(kCutoff, 0.7f);
    duet.set(kWave2, 0.7f);
    duet.set(kGlide, 1.0f);
    duet.set(kGlideType, 0.5f);
    duet.set(kEnv1Depth, 0.2f);
    duet.setProgram(0);

    duet.freshNote(52, 10);
    EXPECT_GT(duet.compare(8), 1500);
    duet.setProgram(1);
    EXPECT_GT(duet.compare(8), 1500);
    duet.legatoNote(71);
    duet.setProgram(0);
    EXPECT_GT(duet.compare(8), 1500);
    duet.setProgram(2); // the defaults
    EXPECT_GT(duet.compare(8), 1500);
}

// Blocks of 1 to 1024 frames, with fresh notes placed inside them: every cache is
// carried across block boundaries.
TEST(ReferenceRender, BlockSizesFromOneTo1024) {
    Duet duet({{kWave1, 0.5f},
               {kWave2, 0.3f},
               {kGlide, 1.0f},
               {kGlideAmount, 0.2f},
               {kEnv1Depth, 0.8f},
               {kEnv1Decay, 0.3f},
               {kEnv1Sustain, 0.3f},
               {kCutoff, 0.3f},
               {kResonance, 0.7f},
               {kLfo1Shape, 0.3f},
               {kLfo1Destination, 0.3f},
               {kLfo1Depth, 0.08f},
               {kLfo1Rate, 0.7f},
               {kLfo2Shape, 0.9f},
               {kLfo2Destination, 0.7f},
               {kLfo2Depth, 0.2f},
               {kLfo2Rate, 0.8f}});
    duet.freshNote(60, 5);
    EXPECT_GT(duet.compareSizes(
                  {1, 1, 2, 3, 5, 8, 13, 64, 127, 128, 511, 512, 513, 1000, 1024, 1, 7, 1024, 333}),
              5000);
    duet.legatoNote(72);
    EXPECT_GT(duet.compareSizes({1024, 1, 1, 1, 2, 700, 31}), 1500);
    duet.releaseBackground(60);
    duet.releaseLast(72);
    duet.compareSizes({256, 1, 1024, 1024, 17, 3});
    duet.freshNote(48, 3);
    EXPECT_GT(duet.compareSizes({2, 1, 4, 1024, 100, 1}), 1000);
}

// Oscillator 1's pulse at width 0 is silent; a square LFO on the pulse width switches it
// between silence (at -1) and a wide pulse, with oscillator 2 sounding throughout.
TEST(ReferenceRender, SilentPulseAndPulseWidthThroughZero) {
    Duet duet({{kWave1, 0.3f},
               {kPulseWidth1, 0.0f},
               {kOscMix, 0.3f},
               {kWave2, 0.5f},
               {kLfo1Shape, 0.3f},
               {kLfo1Destination, 0.5f},
               {kLfo1Depth, 1.0f},
               {kLfo1Rate, 0.4f}});
    duet.freshNote(55);
    EXPECT_GT(duet.compare(16), 3000);
    duet.set(kLfo1Depth, 0.0f); // the square at 0: a constant pulse width of 0.5
    duet.set(kOscMix, 0.0f);
    EXPECT_GT(duet.compare(4), 800);
    duet.set(kLfo1Destination, 0.0f); // width 0 and nothing else: silence from oscillator 1
    duet.compare(8);
}

// No envelope depth and no cutoff LFO: the cutoff stands within a block and moves only
// with the parameter, here between blocks of several sizes, down to -0 and past 1.
TEST(ReferenceRender, CutoffParameterAloneBetweenBlocks) {
    Duet duet({{kResonance, 0.85f}, {kFilterType, 0.2f}, {kRingMod, 0.0f}});
    duet.freshNote(45, 3);
    const float cutoffs[] = {0.6f, 0.6f, 0.2f, -0.0f, 0.0f, 1.3f, 0.45f};
    int sounding = 0;
    for (float cutoff : cutoffs) {
        duet.set(kCutoff, cutoff);
        sounding += duet.compareSizes({7, 64, 65, 300});
    }
    EXPECT_GT(sounding, 2000);
    duet.set(kRingMod, -0.0f); // a ring modulation of -0 is not skipped
    EXPECT_GT(duet.compareSizes({512, 3}), 400);
}

} // namespace
