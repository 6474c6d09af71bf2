// What a host sees of a new instance: its record, identity, capabilities, the
// engine it set up, and how it takes a change of sample rate and a resume.

#include "synth_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(Construction, RecordDescribesAStereoSynthWithoutInputs) {
    auto synth = makeSynth();
    const AEffect& record = synth->record();
    EXPECT_EQ(record.flags, 0x110);
    EXPECT_EQ(record.numInputs, 0);
    EXPECT_EQ(record.numOutputs, 2);
    EXPECT_EQ(record.uniqueID, 0x716C6F31);
    EXPECT_EQ(record.numPrograms, 32);
    EXPECT_EQ(record.numParams, 36);
}

TEST(Construction, WithoutHostTheRecordKeepsTheBaseValues) {
    auto synth = makeSynth(nullptr);
    EXPECT_EQ(synth->record().flags, 0x10);
    EXPECT_EQ(synth->record().numInputs, 1);
    EXPECT_EQ(synth->record().uniqueID, fourCharCode('N', 'o', 'E', 'f'));
    EXPECT_EQ(synth->getParameter(kVolume), 0.8f); // program 0 is loaded all the same
}

TEST(Construction, ProgramZeroIsLoadedAndTheVoiceIsSilent) {
    auto synth = makeSynth();
    EXPECT_EQ(synth->currentProgram(), 0);
    for (int i = 0; i < kNumParameters; ++i)
        EXPECT_EQ(synth->getParameter(i), kParameterTable[i].defaultValue) << i;
    EXPECT_FALSE(synth->voiceActive);
    EXPECT_EQ(synth->currentNote, 0);
    EXPECT_EQ(synth->pendingNoteOffset, 0);
    for (const NoteMemory::Slot& slot : synth->noteMemory.slots) {
        EXPECT_EQ(slot.key, 0);
        EXPECT_EQ(slot.velocity, 0);
    }
    EXPECT_EQ(synth->heldValue, 0.0f);
}

TEST(Construction, EngineIsSetUpFor44100AndProgramZero) {
    auto synth = makeSynth();
    EXPECT_EQ(synth->rate(), 44100.0f);
    EXPECT_EQ(synth->oscillators.phaseScale, 512.0 / 44100.0);
    EXPECT_EQ(synth->oscillators.pitchTable[69], 439.9999999911709);
    EXPECT_NEAR(synth->filter.cutoffSpan, 8.106562940444883, 1e-12);
    EXPECT_EQ(synth->oscillators.tuning1, 1.0);
    EXPECT_EQ(synth->oscillators.pulseWidth1, 256.0);
    EXPECT_EQ(synth->filter.angularCutoff, 1.5707964f); // "Cutoff" 1: a quarter of the rate
    EXPECT_EQ(synth->envelope2.sustainLevel, 0.8f);
    EXPECT_EQ(synth->envelope1.attackStep, static_cast<float>(1.0 / (44100.0 * double(0.01f))));
}

TEST(Construction, FactoryMakesOneInstancePerCall) {
    AudioEffect* first = createEffectInstance(FakeHost::callback);
    AudioEffect* second = createEffectInstance(FakeHost::callback);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->getAeffect()->object, second->getAeffect()->object);
    // Closing through the record destroys the object, programs and all.
    EXPECT_EQ(first->getAeffect()->dispatcher(first->getAeffect(), effClose, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(second->getParameter(kFine2), 0.51f);
    second->getAeffect()->dispatcher(second->getAeffect(), effClose, 0, 0, nullptr, 0);
}

// A host that knows only the record: events and audio reach the synth through it.
TEST(Construction, ANotePlaysThroughTheRecord) {
    AudioEffect* effect = createEffectInstance(FakeHost::callback);
    ASSERT_NE(effect, nullptr);
    AEffect* record = effect->getAeffect();
    FakeHost::wantMidiCalls = 0;
    record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
    EXPECT_EQ(FakeHost::wantMidiCalls, 1);

    EventList events;
    events.noteOn(69, 100, 64);
    EXPECT_EQ(record->dispatcher(record, effProcessEvents, 0, 0, events.list(), 0.0f), 1);
    std::vector<float> left(128, 7.0f), right(128, 7.0f);
    float* outputs[2] = {left.data(), right.data()};
    record->processReplacing(record, nullptr, outputs, 128);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(left[i], 0.0f);
    EXPECT_NE(left[100], 0.0f);
    EXPECT_EQ(left, right);
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
}

TEST(Identity, NamesVendorAndVersions) {
    auto synth = makeSynth();
    char effect[64] = "x", product[64] = "y", vendor[64] = "z";
    EXPECT_TRUE(synth->getEffectName(effect));
    EXPECT_TRUE(synth->getProductString(product));
    EXPECT_TRUE(synth->getVendorString(vendor));
    EXPECT_STREQ(effect, "Quillo");
    EXPECT_STREQ(product, "Quillo");
    EXPECT_STREQ(vendor, "Mirefold");
    EXPECT_EQ(synth->getVendorVersion(), 1000);
    EXPECT_EQ(synth->getVstVersion(), 2400);
}

TEST(Identity, NullBuffersAreLeftAlone) {
    auto synth = makeSynth();
    EXPECT_FALSE(synth->getEffectName(nullptr));
    EXPECT_FALSE(synth->getProductString(nullptr));
    EXPECT_FALSE(synth->getVendorString(nullptr));
    EXPECT_EQ(synth->canDo(nullptr), -1);
}

TEST(Capabilities, ExactlyTheTwoEventCapabilitiesAnswerYes) {
    auto synth = makeSynth();
    const std::string yes[] = {"receiveVstEvents", "receiveVstMidiEvent"};
    const std::string no[] = {"",
                              "receiveVstEvent",
                              "receiveVstMidiEvents",
                              "receiveVstMidiEven",
                              "ReceiveVstEvents",
                              "receivevstmidievent",
                              "receiveVstEvents ",
                              " receiveVstMidiEvent",
                              "sendVstEvents",
                              "sendVstMidiEvent",
                              "receiveVstTimeInfo",
                              "offline"};
    for (std::string text : yes)
        EXPECT_EQ(synth->canDo(text.data()), 1) << text;
    for (std::string text : no)
        EXPECT_EQ(synth->canDo(text.data()), -1) << '"' << text << '"';
}

TEST(Capabilities, EveryResumeAsksForMidiOnce) {
    auto synth = makeSynth();
    FakeHost::wantMidiCalls = 0;
    synth->resume();
    EXPECT_EQ(FakeHost::wantMidiCalls, 1);
    EXPECT_EQ(FakeHost::lastWantMidiValue, 1);
    synth->resume();
    EXPECT_EQ(FakeHost::wantMidiCalls, 2);
}

TEST(SampleRate, RebuildsTablesAndRateFactorsButNotDerivedValues) {
    auto synth = makeSynth();
    const float attackStep = synth->envelope1.attackStep;
    const float lfoIncrement = synth->lfo1.increment;

    synth->setSampleRate(48000.0f);
    EXPECT_EQ(synth->rate(), 48000.0f);
    EXPECT_EQ(synth->oscillators.phaseScale, 512.0 / 48000.0);
    EXPECT_NEAR(synth->filter.cutoffSpan, std::log2(300.0), 1e-12);
    EXPECT_EQ(synth->envelope1.sampleRate, 48000.0f);
    EXPECT_EQ(synth->lfo2.phaseScale, 512.0 / 48000.0);
    EXPECT_EQ(synth->envelope1.attackStep, attackStep);
    EXPECT_EQ(synth->lfo1.increment, lfoIncrement);

    // Setting the parameters again works them out at the new rate.
    synth->setParameter(kEnv1Attack, 0.0f);
    synth->setParameter(kLfo1Rate, 0.0f);
    EXPECT_LT(synth->envelope1.attackStep, attackStep);
    EXPECT_LT(synth->lfo1.increment, lfoIncrement);
}

TEST(SampleRate, RatesThatAreNotPositiveAndFiniteAreIgnored) {
    auto synth = makeSynth();
    for (float rate : {0.0f, -44100.0f, NAN, INFINITY, -INFINITY}) {
        synth->setSampleRate(rate);
        EXPECT_EQ(synth->rate(), 44100.0f) << rate;
        EXPECT_EQ(synth->oscillators.phaseScale, 512.0 / 44100.0) << rate;
        EXPECT_EQ(synth->filter.sampleRate, 44100.0f) << rate;
    }
    // The instance still plays.
    EventList notes;
    send(*synth, notes.noteOn(60, 100));
    const Block block = render(*synth, 256);
    for (float sample : block.left)
        ASSERT_TRUE(std::isfinite(sample));
    EXPECT_NE(block.left[255], 0.0f);
}

} // namespace
