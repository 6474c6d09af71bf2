// The plug-in's output against the reference implementation, bit for bit, across
// waveforms, glide, LFO destinations, filter sweeps, sample rates, program changes
// and block sizes. The engine keeps caches (filter coefficients, table notes, the
// pitch factor) that must never change a sample; these scenarios are chosen to make
// each cache both hit and miss: values that stay put, creep, jump and clamp.

#include "lv2_leg.h"
#include "reference_synth.h"
#include "synth_test_support.h"

#include "engine/random_source.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// Plays one scenario four ways: through the VST 2 plug-in, through the bare instrument,
// through the LV2 build, and through the reference. Parameter changes reach them at
// once; MIDI waits for the next block, where each gets it before rendering, as a VST 2
// host's events and an LV2 host's atom sequence arrive.
class Ensemble {
  public:
    // The settings are applied at 44100 Hz in index order, as a program load does.
    explicit Ensemble(const std::vector<std::pair<int, float>>& settings)
        : synth(makeSynth()), core(std::make_unique<SynthCore>()) {
        float parameters[kNumParameters];
        withSettings(settings, parameters);
        for (int i = 0; i < kNumParameters; ++i) {
            synth->setParameter(i, parameters[i]);
            core->setParameter(i, parameters[i]);
        }
        reference = std::make_unique<reference::Synth>(parameters);
        lv2 = std::make_unique<Lv2Leg>(44100.0, parameters);
        keepAsProgram0(parameters);
    }

    // Made at another rate: the host's rate first, then the settings, as a VST 2 host
    // restores a session and as an LV2 host instantiates and runs.
    Ensemble(const std::vector<std::pair<int, float>>& settings, float rate)
        : synth(makeSynth()), core(std::make_unique<SynthCore>()) {
        float parameters[kNumParameters], defaults[kNumParameters];
        withSettings({}, defaults);
        withSettings(settings, parameters);
        synth->setSampleRate(rate);
        core->setSampleRate(rate);
        reference = std::make_unique<reference::Synth>(defaults);
        reference->setSampleRate(rate);
        for (auto [index, value] : settings) {
            synth->setParameter(index, value);
            core->setParameter(index, value);
            reference->set(index, value);
        }
        lv2 = std::make_unique<Lv2Leg>(rate, parameters);
        keepAsProgram0(parameters);
    }

    static void withSettings(const std::vector<std::pair<int, float>>& settings,
                             float* parameters) {
        for (int i = 0; i < kNumParameters; ++i)
            parameters[i] = kParameterTable[i].defaultValue;
        for (auto [index, value] : settings)
            parameters[index] = value;
    }

    void keepAsProgram0(const float* parameters) {

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
        core->setParameter(index, value);
        reference->set(index, value);
        if (lv2) lv2->setPort(index, value);
        programs[current][index] = value;
    }
    // An LV2 host has no programs: it sets the ports to the program's values.
    void setProgram(int program) {
        synth->setProgram(program);
        core->setProgram(program);
        reference->loadProgram(programs[program].data());
        for (int i = 0; lv2 && i < kNumParameters; ++i)
            lv2->setPort(i, programs[program][i]);
        current = program;
    }
    // An LV2 plug-in keeps the rate it was made at: its leg ends here.
    void setSampleRate(float rate) {
        synth->setSampleRate(rate);
        core->setSampleRate(rate);
        reference->setSampleRate(rate);
        lv2.reset();
    }
    void freshNote(int key, int32_t delta = 0) {
        midi(0x90, key, 100, delta, [this, key, delta] { reference->freshNote(key, delta); });
    }
    void legatoNote(int key) {
        midi(0x90, key, 100, 0, [this, key] { reference->legatoNote(key); });
    }
    // A key under the sounding one: its release changes nothing that sounds.
    void releaseBackground(int key) {
        midi(0x80, key, 64, 0, [] {});
    }
    void releaseLast(int key) {
        midi(0x80, key, 64, 0, [this] { reference->releaseNote(); });
    }

    // Renders blocks and compares every sample; returns the number of non-zero ones.
    int compare(int blocks, int frames = 256) {
        int sounding = 0;
        std::vector<float> expected(frames);
        for (int b = 0; b < blocks; ++b) {
            const Played played = play(frames);
            reference->render(expected.data(), frames);
            for (int i = 0; i < frames; ++i) {
                for (const auto& [name, out] : played.outputs) {
                    if (sameBits(out[i], expected[i])) continue;
                    ADD_FAILURE() << "block " << b << " of " << frames << " frames, frame " << i
                                  << ": " << name << " " << out[i] << ", reference " << expected[i];
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
    std::unique_ptr<SynthCore> core;
    std::unique_ptr<reference::Synth> reference;
    std::unique_ptr<Lv2Leg> lv2;

  private:
    struct Message {
        uint8_t bytes[3];
        int32_t delta;
    };
    struct Played {
        std::vector<std::pair<std::string, std::vector<float>>> outputs;
    };

    void midi(int status, int key, int velocity, int32_t delta, std::function<void()> inReference) {
        pending.push_back({{uint8_t(status), uint8_t(key), uint8_t(velocity)}, delta});
        referencePending.push_back(std::move(inReference));
    }

    // The block's MIDI, then the block, on every leg. The two legs in this binary share
    // the thread's random source, so each keeps its own seed across blocks.
    Played play(int frames) {
        Played played;
        EventList events;
        for (const Message& m : pending)
            events.midi(m.bytes[0], m.bytes[1], m.bytes[2], m.delta);
        random_source::seed = synthSeed;
        send(*synth, events);
        const Block block = render(*synth, frames);
        synthSeed = random_source::seed;
        played.outputs.push_back({"VST 2 left", block.left});
        played.outputs.push_back({"VST 2 right", block.right});

        random_source::seed = coreSeed;
        for (const Message& m : pending)
            core->receiveMidi(m.bytes, m.delta);
        std::vector<float> left(frames, 7.0f), right(frames, 7.0f);
        core->render(left.data(), right.data(), frames);
        coreSeed = random_source::seed;
        played.outputs.push_back({"instrument left", left});
        played.outputs.push_back({"instrument right", right});

        if (lv2) {
            for (const Message& m : pending)
                lv2->midi(m.bytes, m.delta);
            lv2->run(left.data(), right.data(), frames);
            played.outputs.push_back({"LV2 left", left});
            played.outputs.push_back({"LV2 right", right});
        }

        for (auto& action : referencePending)
            action();
        pending.clear();
        referencePending.clear();
        return played;
    }

    std::array<std::array<float, kNumParameters>, kNumPrograms> programs;
    int current = 0;
    std::vector<Message> pending;
    std::vector<std::function<void()>> referencePending;
    // Every leg's random source starts at its first value.
    uint32_t synthSeed = 1;
    uint32_t coreSeed = 1;

    static bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
};

TEST(ReferenceRender, DefaultProgramNoteAndRelease) {
    Ensemble ensemble({});
    ensemble.freshNote(60, 37);
    EXPECT_GT(ensemble.compare(8), 1000);
    ensemble.releaseLast(60);
    ensemble.compare(12, 200); // the default release takes about 1970 samples from full scale
    EXPECT_FALSE(ensemble.synth->voiceActive);
}

TEST(ReferenceRender, EveryWaveformPairWithRingModAndMix) {
    const float waves[] = {0.0f, 0.3f, 0.5f, 0.7f, 0.9f};
    for (int w1 = 0; w1 < 5; ++w1) {
        Ensemble ensemble({{kWave1, waves[w1]},
                           {kWave2, waves[(w1 + 2) % 5]},
                           {kRingMod, 0.6f},
                           {kOscMix, 0.3f + 0.1f * w1},
                           {kPulseWidth1, 0.2f},
                           {kPulseWidth2, 0.9f},
                           {kCoarse2, 0.7f}});
        ensemble.freshNote(45 + 7 * w1);
        EXPECT_GT(ensemble.compare(6), 1000) << "wave1 " << w1;
    }
}

TEST(ReferenceRender, SyncPulseWidthModulationAndHighNotes) {
    Ensemble ensemble({{kWave1, 0.3f},
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
    ensemble.freshNote(110);
    EXPECT_GT(ensemble.compare(8), 1000);
    ensemble.legatoNote(20);
    EXPECT_GT(ensemble.compare(8), 1000);
}

TEST(ReferenceRender, TimeGlideBetweenLegatoNotes) {
    Ensemble ensemble({{kGlide, 1.0f}, {kGlideAmount, 0.15f}, {kWave2, 0.5f}});
    ensemble.freshNote(48); // glides up from 1 Hz
    ensemble.compare(4);
    ensemble.legatoNote(67);
    ensemble.compare(8);
    ensemble.legatoNote(40);
    EXPECT_GT(ensemble.compare(8), 1000);
    ensemble.set(kGlideAmount, 0.05f); // a new time is heard from the next note on
    ensemble.legatoNote(52);
    ensemble.compare(8);
}

TEST(ReferenceRender, DepthGlideAlternatesAroundTheTarget) {
    Ensemble ensemble({{kGlide, 1.0f}, {kGlideType, 0.6f}, {kGlideAmount, 0.3f}, {kWave1, 0.7f}});
    ensemble.freshNote(60);
    ensemble.compare(4);
    ensemble.legatoNote(72);
    EXPECT_GT(ensemble.compare(12), 1000);
    ensemble.set(kGlideAmount, 0.0f);
    ensemble.legatoNote(55);
    ensemble.compare(8);
}

TEST(ReferenceRender, FilterSweepsByEnvelopeLfoAndParameter) {
    Ensemble ensemble({{kCutoff, 0.2f},
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
    ensemble.freshNote(36);
    ensemble.compare(8);
    for (int step = 0; step < 8; ++step) {
        ensemble.set(kCutoff, 0.1f * step);
        ensemble.compare(1, 128);
    }
    ensemble.set(kFilterType, 0.5f);
    ensemble.set(kEnv1Depth, 0.0f);
    EXPECT_GT(ensemble.compare(8), 1000);
    ensemble.releaseLast(36);
    ensemble.compare(8);
}

TEST(ReferenceRender, SampleAndHoldNoiseAndVolumeModulation) {
    Ensemble ensemble({{kWave1, 1.0f},
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
    ensemble.freshNote(57, 12);
    EXPECT_GT(ensemble.compare(16), 3000);
}

TEST(ReferenceRender, PitchLfosAndTuningChangesDuringANote) {
    Ensemble ensemble({{kWave1, 0.5f},
                       {kWave2, 0.7f},
                       {kLfo1Destination, 0.3f},
                       {kLfo1Depth, 0.1f},
                       {kLfo1Rate, 0.3f},
                       {kLfo2Destination, 0.3f},
                       {kLfo2Shape, 0.6f},
                       {kLfo2Depth, 0.05f},
                       {kLfo2Rate, 0.9f},
                       {kEnv2Sustain, 0.5f}});
    ensemble.freshNote(72);
    ensemble.compare(4);
    ensemble.set(kCoarse1, 0.25f);
    ensemble.set(kFine2, 0.9f);
    EXPECT_GT(ensemble.compare(6), 1000);
}

// The cutoff creeps up through the clamp at 1 under a slow attack, then stands at the
// sustain level with a tiny slow LFO that moves it by less than one float step for
// several samples at a time.
TEST(ReferenceRender, SlowCutoffSweepsCreepHoldAndClamp) {
    Ensemble ensemble({{kCutoff, 0.55f},
                       {kEnv1Depth, 1.0f},
                       {kEnv1Attack, 0.9f},
                       {kEnv1Decay, 0.0f},
                       {kEnv1Sustain, 0.2f},
                       {kResonance, 0.8f},
                       {kLfo1Destination, 0.7f},
                       {kLfo1Depth, 0.002f},
                       {kLfo1Rate, 0.0f}});
    ensemble.freshNote(40);
    EXPECT_GT(ensemble.compare(420), 100000); // about 2.4 s: the cutoff reaches the clamp
    EXPECT_EQ(ensemble.synth->filter.angularCutoff, ensemble.reference->filter.w);
    ensemble.set(kEnv1Attack, 0.0f);
    EXPECT_GT(ensemble.compare(60), 10000);
    ensemble.set(kCutoff, 0.3f); // the parameter itself moves the cutoff between blocks
    ensemble.compare(20);
    ensemble.releaseLast(40);
    ensemble.compare(20);
}

// Square and sample-and-hold LFOs jump the cutoff; a fast envelope with inverted depth
// sweeps it down; high-pass at full resonance.
TEST(ReferenceRender, FastCutoffSweepsAtFullResonanceHighPass) {
    Ensemble ensemble({{kCutoff, 0.5f},
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
    ensemble.freshNote(33);
    EXPECT_GT(ensemble.compare(24), 5000);
    ensemble.set(kFilterType, 0.0f); // the mode alone changes, the cutoff may not
    ensemble.set(kResonance, 0.3f);
    EXPECT_GT(ensemble.compare(8), 1000);
}

// Time-mode glides across many table-note boundaries, up from 1 Hz (below the lowest
// note, where the note value wraps to high tables), up, down, under a pitch LFO.
TEST(ReferenceRender, TimeGlidesAcrossTableNoteBoundaries) {
    Ensemble ensemble({{kGlide, 1.0f},
                       {kGlideAmount, 0.4f},
                       {kWave1, 0.0f},
                       {kWave2, 0.5f},
                       {kCoarse2, 0.75f},
                       {kLfo1Destination, 0.3f},
                       {kLfo1Depth, 0.2f},
                       {kLfo1Rate, 0.5f}});
    ensemble.freshNote(30);
    EXPECT_GT(ensemble.compare(100), 20000);
    ensemble.legatoNote(96);
    EXPECT_GT(ensemble.compare(100), 20000);
    ensemble.legatoNote(20);
    EXPECT_GT(ensemble.compare(100), 20000);
    ensemble.set(kLfo1Depth, 0.0f); // no modulation: the frequency settles on the target
    ensemble.legatoNote(75);
    EXPECT_GT(ensemble.compare(100), 20000);
}

// Depth-mode glides, which never settle but alternate around the target, so the
// frequency changes every sample; down into the notes that keep their own tables.
TEST(ReferenceRender, DepthGlidesAcrossTableNoteBoundaries) {
    Ensemble ensemble({{kGlide, 1.0f},
                       {kGlideType, 0.6f},
                       {kGlideAmount, 0.2f},
                       {kWave1, 0.5f},
                       {kWave2, 0.3f},
                       {kFine2, 0.8f}});
    ensemble.freshNote(24);
    ensemble.compare(20);
    ensemble.legatoNote(100);
    EXPECT_GT(ensemble.compare(50), 10000);
    ensemble.legatoNote(8);
    EXPECT_GT(ensemble.compare(50), 10000);
    ensemble.set(kGlideAmount, 0.9f);
    ensemble.legatoNote(9);
    ensemble.compare(20);
}

// Oscillator 2 tuned an octave up from a high note, with a saw LFO on the pitch:
// its frequency crosses the point (about 13290 Hz) where the note value reaches 128
// and folds onto the lowest tables.
TEST(ReferenceRender, PitchModulationAcrossTheTopFold) {
    Ensemble ensemble({{kCoarse2, 1.0f},
                       {kWave2, 0.3f},
                       {kOscMix, 0.7f},
                       {kLfo1Shape, 0.6f},
                       {kLfo1Destination, 0.3f},
                       {kLfo1Depth, 0.5f},
                       {kLfo1Rate, 0.6f}});
    ensemble.freshNote(120);
    EXPECT_GT(ensemble.compare(40), 8000);
}

// Every LFO shape on the pitch, LFO 2 adding a second shape.
TEST(ReferenceRender, PitchLfosOfEveryShape) {
    const float shapes[] = {0.0f, 0.3f, 0.6f, 0.9f};
    for (int shape = 0; shape < 4; ++shape) {
        Ensemble ensemble({{kWave1, 0.3f},
                           {kWave2, 0.0f},
                           {kLfo1Shape, shapes[shape]},
                           {kLfo1Destination, 0.3f},
                           {kLfo1Depth, 0.5f},
                           {kLfo1Rate, 0.75f},
                           {kLfo2Shape, shapes[(shape + 1) % 4]},
                           {kLfo2Destination, 0.3f},
                           {kLfo2Depth, 0.05f},
                           {kLfo2Rate, 0.95f}});
        ensemble.freshNote(64);
        EXPECT_GT(ensemble.compare(12), 2000) << "shape " << shape;
    }
}

// Hard sync, noise through the ring modulator, a sample-and-hold cutoff and a resonant
// high-pass together.
TEST(ReferenceRender, SyncNoiseSampleAndHoldAndResonance) {
    Ensemble ensemble({{kWave1, 0.0f},
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
    ensemble.freshNote(50);
    EXPECT_GT(ensemble.compare(16), 3000);
    ensemble.legatoNote(62);
    EXPECT_GT(ensemble.compare(16), 3000);
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
        Ensemble ensemble(patches[patch]);
        ensemble.setSampleRate(22050.0f);
        ensemble.freshNote(57);
        EXPECT_GT(ensemble.compare(20), 4000) << "patch " << patch;
        ensemble.setSampleRate(48000.0f);
        EXPECT_GT(ensemble.compare(20), 4000) << "patch " << patch;
        ensemble.legatoNote(45);
        ensemble.setSampleRate(96000.0f);
        EXPECT_GT(ensemble.compare(30), 6000) << "patch " << patch;
        ensemble.releaseBackground(57);
        ensemble.releaseLast(45);
        ensemble.compare(10);
        ensemble.setSampleRate(44100.0f);
        ensemble.freshNote(69, 100);
        EXPECT_GT(ensemble.compare(20), 4000) << "patch " << patch;
    }
}

// Made at the host's rate: values worked out at creation (envelope steps, LFO
// increments) keep 44100 Hz unless their parameter is set again, in every format.
TEST(ReferenceRender, MadeAtOtherRates) {
    for (float rate : {22050.0f, 48000.0f, 96000.0f}) {
        Ensemble ensemble({{kWave1, 0.3f},
                           {kEnv1Depth, 0.8f},
                           {kEnv1Attack, 0.05f},
                           {kCutoff, 0.3f},
                           {kResonance, 0.7f},
                           {kLfo1Destination, 0.5f},
                           {kLfo1Depth, 0.4f},
                           {kLfo1Rate, 0.3f}},
                          rate);
        ensemble.freshNote(48, 20);
        EXPECT_GT(ensemble.compare(12), 2000) << rate << " Hz";
        ensemble.legatoNote(55);
        ensemble.set(kEnv2Release, 0.2f);
        EXPECT_GT(ensemble.compare(6), 1000) << rate << " Hz";
        ensemble.releaseBackground(48);
        ensemble.releaseLast(55);
        ensemble.compare(20);
    }
}

// A program change is 36 parameter writes at once, between blocks of a held note:
// waveforms, filter mode and resonance change while the cutoff may stay the same.
TEST(ReferenceRender, ProgramChangesDuringANote) {
    Ensemble ensemble({{kWave1, 0.3f},
                       {kResonance, 0.5f},
                       {kCutoff, 0.7f},
                       {kLfo1Destination, 0.3f},
                       {kLfo1Depth, 0.05f},
                       {kLfo1Rate, 0.5f}});
    ensemble.setProgram(1);
    ensemble.set(kFilterType, 1.0f);
    ensemble.set(kResonance, 0.9f);
    ensemble.set(kCutoff, 0.7f);
    ensemble.set(kWave2, 0.7f);
    ensemble.set(kGlide, 1.0f);
    ensemble.set(kGlideType, 0.5f);
    ensemble.set(kEnv1Depth, 0.2f);
    ensemble.setProgram(0);

    ensemble.freshNote(52, 10);
    EXPECT_GT(ensemble.compare(8), 1500);
    ensemble.setProgram(1);
    EXPECT_GT(ensemble.compare(8), 1500);
    ensemble.legatoNote(71);
    ensemble.setProgram(0);
    EXPECT_GT(ensemble.compare(8), 1500);
    ensemble.setProgram(2); // the defaults
    EXPECT_GT(ensemble.compare(8), 1500);
}

// Blocks of 1 to 1024 frames, with fresh notes placed inside them: every cache is
// carried across block boundaries.
TEST(ReferenceRender, BlockSizesFromOneTo1024) {
    Ensemble ensemble({{kWave1, 0.5f},
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
    ensemble.freshNote(60, 5);
    EXPECT_GT(ensemble.compareSizes(
                  {1, 1, 2, 3, 5, 8, 13, 64, 127, 128, 511, 512, 513, 1000, 1024, 1, 7, 1024, 333}),
              5000);
    ensemble.legatoNote(72);
    EXPECT_GT(ensemble.compareSizes({1024, 1, 1, 1, 2, 700, 31}), 1500);
    ensemble.releaseBackground(60);
    ensemble.releaseLast(72);
    ensemble.compareSizes({256, 1, 1024, 1024, 17, 3});
    ensemble.freshNote(48, 3);
    EXPECT_GT(ensemble.compareSizes({2, 1, 4, 1024, 100, 1}), 1000);
}

// Oscillator 1's pulse at width 0 is silent; a square LFO on the pulse width switches it
// between silence (at -1) and a wide pulse, with oscillator 2 sounding throughout.
TEST(ReferenceRender, SilentPulseAndPulseWidthThroughZero) {
    Ensemble ensemble({{kWave1, 0.3f},
                       {kPulseWidth1, 0.0f},
                       {kOscMix, 0.3f},
                       {kWave2, 0.5f},
                       {kLfo1Shape, 0.3f},
                       {kLfo1Destination, 0.5f},
                       {kLfo1Depth, 1.0f},
                       {kLfo1Rate, 0.4f}});
    ensemble.freshNote(55);
    EXPECT_GT(ensemble.compare(16), 3000);
    ensemble.set(kLfo1Depth, 0.0f); // the square at 0: a constant pulse width of 0.5
    ensemble.set(kOscMix, 0.0f);
    EXPECT_GT(ensemble.compare(4), 800);
    ensemble.set(kLfo1Destination, 0.0f); // width 0 and nothing else: silence from oscillator 1
    ensemble.compare(8);
}

// No envelope depth and no cutoff LFO: the cutoff stands within a block and moves only
// with the parameter, here between blocks of several sizes, down to -0 and past 1.
TEST(ReferenceRender, CutoffParameterAloneBetweenBlocks) {
    Ensemble ensemble({{kResonance, 0.85f}, {kFilterType, 0.2f}, {kRingMod, 0.0f}});
    ensemble.freshNote(45, 3);
    const float cutoffs[] = {0.6f, 0.6f, 0.2f, -0.0f, 0.0f, 1.3f, 0.45f};
    int sounding = 0;
    for (float cutoff : cutoffs) {
        ensemble.set(kCutoff, cutoff);
        sounding += ensemble.compareSizes({7, 64, 65, 300});
    }
    EXPECT_GT(sounding, 2000);
    ensemble.set(kRingMod, -0.0f); // a ring modulation of -0 is not skipped
    EXPECT_GT(ensemble.compareSizes({512, 3}), 400);
}

} // namespace
