// The render loop: the arithmetic between the engine units, and what a block does
// at its start (silence, fresh notes, block sizes).

#include "synth/render_steps.h"
#include "synth_test_support.h"

#include "engine/random_source.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace render_steps;

TEST(RenderSteps, RingModulationAndMixWorkedExample) {
    const BlockValues block = blockValues(0.75f, 0.5f, 1.0f, 0.8f);
    EXPECT_EQ(block.gain1, 0.25f);
    EXPECT_EQ(block.gain2, 0.5f);
    const float o1 = ringModulated(0.5f, 0.5f, 1.0f);
    EXPECT_EQ(o1, 0.75f);
    EXPECT_EQ(oscillatorMix(o1, 0.5f, block), 0.4375f);
    EXPECT_EQ(ringModulated(0.3f, -0.9f, 0.0f), 0.3f);
}

TEST(RenderSteps, MixGainsAcrossOscMix) {
    EXPECT_EQ(blockValues(0.0f, 0, 0, 0).gain1, 0.5f);
    EXPECT_EQ(blockValues(0.0f, 0, 0, 0).gain2, 0.0f);
    EXPECT_EQ(blockValues(0.5f, 0, 0, 0).gain1, 0.5f);
    EXPECT_EQ(blockValues(0.5f, 0, 0, 0).gain2, 0.5f);
    EXPECT_EQ(blockValues(1.0f, 0, 0, 0).gain1, 0.0f);
    EXPECT_EQ(blockValues(1.0f, 0, 0, 0).gain2, 0.5f);
}

TEST(RenderSteps, AmplitudeAndVolumeWorkedExamples) {
    const BlockValues full = blockValues(0.5f, 0.5f, 1.0f, 0.5f);
    EXPECT_EQ(withVolume(amplitude(0.8f, 0.0f, 1.0f, full.depth2), full.volume), 0.2f);

    // "Env2 Dep" 0 inverts the signal, 0.5 silences it.
    const BlockValues inverted = blockValues(0.5f, 0.5f, 0.0f, 0.5f);
    EXPECT_EQ(withVolume(amplitude(0.8f, 0.0f, 1.0f, inverted.depth2), inverted.volume), -0.2f);
    const BlockValues none = blockValues(0.5f, 0.5f, 0.5f, 0.5f);
    EXPECT_EQ(amplitude(0.8f, 0.0f, 1.0f, none.depth2), 0.0f);

    // Both LFOs on the volume at +1: the factor (2 + 1) * 0.5.
    const Modulation both = modulation(Lfo::ToVolume, 1.0f, Lfo::ToVolume, 1.0f);
    EXPECT_EQ(both.volume, 2.0f);
    EXPECT_EQ(amplitude(0.5f, both.volume, 1.0f, 1.0f), 0.75f);
}

TEST(RenderSteps, ModulationSumsByDestination) {
    const Modulation pulse = modulation(Lfo::ToPulseWidth, 1.0f, Lfo::ToPulseWidth, 1.0f);
    EXPECT_EQ(pulse.pulseWidth, 2.0f);
    EXPECT_EQ(pulse.pitch, 0.0f);

    const Modulation split = modulation(Lfo::ToPitch, 0.25f, Lfo::ToCutoff, -0.5f);
    EXPECT_EQ(split.pitch, 0.25f);
    EXPECT_EQ(split.cutoff, -0.5f);
    EXPECT_EQ(split.pulseWidth, 0.0f);
    EXPECT_EQ(split.volume, 0.0f);

    EXPECT_EQ(modulation(Lfo::ToNothing, 1.0f, Lfo::ToPulseWidth, -1.0f).pulseWidth, 0.0f);
    EXPECT_EQ(modulation(Lfo::ToPitch, 0.5f, Lfo::ToPitch, 0.25f).pitch, 0.75f);
}

TEST(RenderLoop, CutoffBeyondOneIsClampedByTheFilter) {
    EXPECT_EQ(modulatedCutoff(1.0f, 1.0f, 0.9f, 0.0f), 1.9f);

    auto synth = makeSynth();
    synth->setParameter(kCutoff, 0.9f);
    synth->setParameter(kEnv1Depth, 1.0f);
    synth->setParameter(kEnv1Sustain, 1.0f);
    EventList notes;
    send(*synth, notes.noteOn(60, 100));
    for (int i = 0; i < 4; ++i)
        render(*synth, 256);
    EXPECT_EQ(synth->envelope1.level, 1.0f);
    EXPECT_EQ(synth->filter.angularCutoff, 1.5707964f); // a quarter of the rate
}

TEST(RenderLoop, BothOutputsCarryTheSameSample) {
    auto synth = makeSynth();
    synth->setParameter(kWave2, 0.9f); // noise
    EventList notes;
    send(*synth, notes.noteOn(48, 100));
    const Block block = render(*synth, 512);
    EXPECT_EQ(block.left, block.right);
    EXPECT_NE(block.left[300], 0.0f);
}

TEST(BlockStart, SilentVoiceWritesZerosAndAdvancesNothing) {
    auto synth = makeSynth();
    synth->setParameter(kLfo1Rate, 1.0f);
    synth->setParameter(kLfo1Shape, 1.0f); // sample-and-hold draws on every wrap
    const uint32_t seed = random_source::seed;
    const Block block = render(*synth, 4096);
    for (float sample : block.left)
        ASSERT_EQ(sample, 0.0f);
    for (float sample : block.right)
        ASSERT_EQ(sample, 0.0f);
    EXPECT_EQ(synth->lfo1.phase, 0.0);
    EXPECT_EQ(synth->envelope1.level, 0.0f);
    EXPECT_EQ(synth->filter.y1, 0.0);
    EXPECT_EQ(random_source::seed, seed);
}

// Renders one block after a fresh note with the given delta frames, from a new instance.
Block freshNoteBlock(int32_t delta, int32_t frames = 256) {
    auto synth = makeSynth();
    EventList notes;
    send(*synth, notes.noteOn(60, 100, delta));
    Block block = render(*synth, frames);
    EXPECT_EQ(synth->pendingNoteOffset, 0) << delta;
    return block;
}

TEST(BlockStart, FreshNoteBeginsAtItsDeltaFrames) {
    const Block atZero = freshNoteBlock(0);
    const Block at100 = freshNoteBlock(100);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(at100.left[i], 0.0f) << i;
    // From frame 100 on, the note is the note that starts at frame 0 of a block.
    for (int i = 100; i < 256; ++i)
        ASSERT_EQ(at100.left[i], atZero.left[i - 100]) << i;
    EXPECT_EQ(at100.left, at100.right);
}

TEST(BlockStart, DeltaBeyondTheBlockStartsAtOnce) {
    const Block atZero = freshNoteBlock(0);
    EXPECT_EQ(freshNoteBlock(256).left, atZero.left);
    EXPECT_EQ(freshNoteBlock(300).left, atZero.left);
}

TEST(BlockStart, NegativeDeltaIsIgnored) {
    auto synth = makeSynth();
    EventList notes;
    send(*synth, notes.noteOn(60, 100, -5));
    const Block block = render(*synth, 256);
    EXPECT_EQ(block.left, freshNoteBlock(0).left);
    EXPECT_EQ(synth->pendingNoteOffset, -5);
}

TEST(BlockStart, EmptyBlockUsesUpTheOffsetAndAdvancesNothing) {
    auto synth = makeSynth();
    EventList notes;
    send(*synth, notes.noteOn(60, 100, 100));
    render(*synth, 0);
    render(*synth, -3);
    EXPECT_EQ(synth->pendingNoteOffset, 0);
    EXPECT_EQ(synth->envelope2.level, 0.0f);
    EXPECT_EQ(synth->lfo1.phase, 0.0);
    // The note now starts at frame 0 of the next block.
    EXPECT_EQ(render(*synth, 256).left, freshNoteBlock(0).left);
}

TEST(BlockStart, NullOutputsWriteNothing) {
    auto synth = makeSynth();
    EventList notes;
    send(*synth, notes.noteOn(60, 100));
    std::vector<float> left(64, 7.0f);
    float* onlyLeft[2] = {left.data(), nullptr};
    synth->processReplacing(nullptr, nullptr, 64);
    synth->processReplacing(nullptr, onlyLeft, 64);
    for (float sample : left)
        EXPECT_EQ(sample, 7.0f);
    EXPECT_EQ(synth->envelope2.level, 0.0f);
}

TEST(BlockStart, FinishedVoiceEndsAtTheNextBlock) {
    auto synth = makeSynth();
    synth->setParameter(kEnv1Release, 0.0f);
    synth->setParameter(kEnv2Release, 0.0f);
    EventList on, off;
    send(*synth, on.noteOn(60, 100));
    render(*synth, 256);
    send(*synth, off.noteOff(60));

    // Both releases take under 441 samples from below full scale.
    Block block;
    int blocks = 0;
    while (synth->envelope2.state != Envelope::Finished && blocks++ < 10)
        block = render(*synth, 64);
    ASSERT_EQ(synth->envelope2.state, Envelope::Finished);
    ASSERT_EQ(synth->envelope1.state, Envelope::Finished);
    EXPECT_EQ(block.left.back(), 0.0f);
    EXPECT_TRUE(synth->voiceActive);

    const double lfoPhase = synth->lfo1.phase;
    block = render(*synth, 64);
    EXPECT_FALSE(synth->voiceActive);
    for (float sample : block.left)
        EXPECT_EQ(sample, 0.0f);
    EXPECT_EQ(synth->lfo1.phase, lfoPhase);
}

TEST(BlockStart, TuningChangesReachAHeldNoteAtTheNextBlock) {
    auto synth = makeSynth();
    EventList notes;
    send(*synth, notes.noteOn(60, 100));
    render(*synth, 64);
    const double before = synth->oscillators.targetFrequency;
    synth->setParameter(kCoarse1, 1.0f);
    EXPECT_EQ(synth->oscillators.targetFrequency, before);
    render(*synth, 64);
    EXPECT_EQ(synth->oscillators.targetFrequency, before * std::pow(1.059463094359, 12.0));
}

} // namespace

// Values far outside 0..1 are stored as sent; whatever they do to the sound while set,
// the instance must play normally again once the host sends sane values.
TEST(RenderLoop, RecoversFromHugeParameterValues) {
    auto synth = makeSynth();
    synth->setParameter(kLfo1Destination, 0.3f); // pitch
    EventList notes;
    send(*synth, notes.noteOn(60, 100));
    for (int32_t index : {kLfo1Rate, kFine1, kLfo1Depth, kResonance, kCutoff}) {
        synth->setParameter(index, 1e30f);
        render(*synth, 64);
    }
    synth->setProgram(1); // the edits went into program 0; program 1 still holds defaults
    synth->setParameter(kLfo1Destination, 0.3f);
    render(*synth, 64);
    const Block block = render(*synth, 512);
    for (float sample : block.left)
        ASSERT_TRUE(std::isfinite(sample));
    EXPECT_NE(block.left[511], 0.0f);
}
