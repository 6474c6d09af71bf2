// MIDI intake: what the voice does as keys go down and up, in the order a player
// would press them.

#include "synth_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> heldKeys(const SynthUnderTest& synth) {
    std::vector<int> keys;
    for (const NoteMemory::Slot& slot : synth.noteMemory.slots)
        if (slot.velocity != 0) keys.push_back(slot.key);
    return keys;
}

bool released(const SynthUnderTest& synth) {
    return synth.envelope1.state == Envelope::Release && synth.envelope2.state == Envelope::Release;
}

void press(SynthUnderTest& synth, int key, int32_t delta = 0, int channel = 0) {
    EventList events;
    send(synth, events.noteOn(key, 100, delta, channel));
}

void lift(SynthUnderTest& synth, int key, int channel = 0) {
    EventList events;
    send(synth, events.noteOff(key, 0, channel));
}

bool silent(const Block& block, int from = 0, int to = -1) {
    if (to < 0) to = static_cast<int>(block.left.size());
    for (int i = from; i < to; ++i)
        if (block.left[i] != 0.0f || block.right[i] != 0.0f) return false;
    return true;
}

TEST(NoteMemory, StructKeepsKeysNewestFirstAndClosesGaps) {
    NoteMemory memory;
    memory.setFront(60, 90);
    memory.pushFront(64, 91);
    memory.pushFront(67, 92);
    EXPECT_EQ(memory.remove(64), NoteMemory::Release::Background);
    EXPECT_EQ(memory.slots[0].key, 67);
    EXPECT_EQ(memory.slots[1].key, 60);
    EXPECT_EQ(memory.slots[1].velocity, 90);
    EXPECT_EQ(memory.slots[2].key, 0);
    EXPECT_EQ(memory.remove(64), NoteMemory::Release::NotHeld);
    EXPECT_EQ(memory.remove(67), NoteMemory::Release::FallBack);
    EXPECT_EQ(memory.remove(60), NoteMemory::Release::LastKey);
    EXPECT_FALSE(memory.holdsNote());
}

TEST(NoteMemory, FifthKeyForgetsTheOldestAndReleasesWalkDown) {
    auto synth = makeSynth();
    for (int key : {60, 64, 67, 72, 76})
        press(*synth, key);
    EXPECT_EQ(heldKeys(*synth), (std::vector<int>{76, 72, 67, 64}));
    EXPECT_EQ(synth->currentNote, 76);

    for (int key : {76, 72, 67}) {
        lift(*synth, key);
        EXPECT_FALSE(released(*synth)) << key;
    }
    EXPECT_EQ(synth->currentNote, 64);
    EXPECT_EQ(heldKeys(*synth), (std::vector<int>{64}));

    lift(*synth, 64); // 60 is still down, but forgotten
    EXPECT_TRUE(released(*synth));
    EXPECT_EQ(synth->currentNote, 64);

    render(*synth, 16);
    const float level = synth->envelope2.level;
    const int32_t state = synth->envelope2.state;
    lift(*synth, 60);
    EXPECT_EQ(synth->envelope2.state, state);
    EXPECT_EQ(synth->envelope2.level, level);
    EXPECT_TRUE(heldKeys(*synth).empty());
}

TEST(NoteMemory, ReleasingSoundingKeyFallsBackToNewestHeld) {
    auto synth = makeSynth();
    press(*synth, 60);
    press(*synth, 64);
    render(*synth, 300);
    const float level = synth->envelope2.level;

    lift(*synth, 64);
    EXPECT_EQ(synth->currentNote, 60);
    EXPECT_EQ(synth->oscillators.targetFrequency, synth->oscillators.pitchTable[60]);
    EXPECT_EQ(synth->oscillators.phase1, 0.0);           // the oscillators restart...
    EXPECT_EQ(synth->envelope2.state, Envelope::Attack); // ...the envelopes carry on
    EXPECT_EQ(synth->envelope2.level, level);
}

TEST(NoteMemory, ReleasingABackgroundKeyChangesNothingAudible) {
    auto synth = makeSynth();
    press(*synth, 60);
    press(*synth, 64);
    render(*synth, 100);
    const double phase = synth->oscillators.phase1;

    lift(*synth, 60);
    EXPECT_EQ(heldKeys(*synth), (std::vector<int>{64}));
    EXPECT_EQ(synth->currentNote, 64);
    EXPECT_EQ(synth->oscillators.phase1, phase);
    EXPECT_FALSE(released(*synth));
}

TEST(NoteMemory, LegatoNoteMovesPitchFromTheFirstFrame) {
    auto synth = makeSynth();
    press(*synth, 60);
    render(*synth, 256);
    press(*synth, 72, 100); // its delta frames do not matter
    EXPECT_EQ(synth->pendingNoteOffset, 0);
    EXPECT_EQ(synth->envelope2.state, Envelope::Attack);
    const Block block = render(*synth, 256);
    EXPECT_NE(block.left[0], 0.0f);
    EXPECT_EQ(synth->currentNote, 72);
}

TEST(NoteMemory, VelocityZeroIsANoteOff) {
    auto synth = makeSynth();
    press(*synth, 60);
    EventList events;
    send(*synth, events.noteOn(60, 0));
    EXPECT_TRUE(released(*synth));
    EXPECT_TRUE(heldKeys(*synth).empty());
}

TEST(NoteMemory, EveryChannelPlaysTheOneVoice) {
    auto synth = makeSynth();
    press(*synth, 62, 0, 9); // status 0x99
    EXPECT_TRUE(synth->voiceActive);
    EXPECT_EQ(synth->currentNote, 62);
    lift(*synth, 62, 3);
    EXPECT_TRUE(released(*synth));
}

TEST(NoteMemory, SameKeyOnTwoChannelsTakesTwoSlots) {
    auto synth = makeSynth();
    press(*synth, 60, 0, 0);
    press(*synth, 60, 0, 1);
    EXPECT_EQ(heldKeys(*synth), (std::vector<int>{60, 60}));
    render(*synth, 64);

    lift(*synth, 60, 1);
    EXPECT_EQ(heldKeys(*synth), (std::vector<int>{60}));
    EXPECT_EQ(synth->oscillators.phase1, 0.0); // restarts at the same key
    EXPECT_FALSE(released(*synth));
    lift(*synth, 60, 0);
    EXPECT_TRUE(released(*synth));
}

TEST(NoteMemory, KeyZeroReadsAsNothingHeld) {
    auto synth = makeSynth();
    press(*synth, 0);
    EXPECT_TRUE(synth->voiceActive);
    render(*synth, 256);
    EXPECT_GT(synth->envelope2.level, 0.0f);

    // The next key finds "no note held": it overwrites key 0 and restarts the envelopes.
    press(*synth, 64);
    EXPECT_EQ(synth->envelope2.level, 0.0f);
    EXPECT_EQ(heldKeys(*synth), (std::vector<int>{64}));
    lift(*synth, 64);
    EXPECT_TRUE(released(*synth));

    // A note-off for key 0 with nothing held matches the empty first slot.
    auto other = makeSynth();
    press(*other, 60);
    render(*other, 64);
    other->noteMemory.clear(); // as after controller 126, but with the voice running
    lift(*other, 0);
    EXPECT_TRUE(released(*other));
}

TEST(NoteMemory, Controller126SilencesAtOnce) {
    auto synth = makeSynth();
    press(*synth, 60);
    press(*synth, 64);
    EXPECT_FALSE(silent(render(*synth, 256)));

    EventList events;
    send(*synth, events.controller(126, 0, 5));
    EXPECT_FALSE(synth->voiceActive);
    EXPECT_TRUE(heldKeys(*synth).empty());
    EXPECT_TRUE(silent(render(*synth, 256)));

    lift(*synth, 64);
    EXPECT_TRUE(silent(render(*synth, 256)));
    press(*synth, 67);
    EXPECT_EQ(synth->envelope2.level, 0.0f);
    EXPECT_FALSE(silent(render(*synth, 256)));
}

TEST(NoteMemory, OtherMessagesAndEventsAreSkipped) {
    auto synth = makeSynth();
    VstMidiSysexEvent sysex{};
    sysex.type = kVstSysExType;
    EventList events;
    events.add(reinterpret_cast<VstEvent*>(&sysex))
        .add(nullptr)
        .controller(123, 0) // all notes off
        .controller(64, 127)
        .midi(0xE0, 0, 127) // pitch bend
        .noteOn(60, 100);
    EXPECT_EQ(synth->processEvents(events.list()), 1);
    EXPECT_EQ(synth->currentNote, 60);
    EXPECT_TRUE(synth->voiceActive);
    EXPECT_EQ(synth->processEvents(nullptr), 1);
    EXPECT_EQ(synth->currentNote, 60);
}

TEST(NoteMemory, NoteOnAndOffInOneBlockIsNotHeard) {
    auto synth = makeSynth();
    EventList events;
    send(*synth, events.noteOn(60, 100, 10).noteOff(60, 20));
    EXPECT_TRUE(silent(render(*synth, 256)));
    EXPECT_EQ(synth->envelope2.state, Envelope::Finished);
    render(*synth, 256);
    EXPECT_FALSE(synth->voiceActive);
}

TEST(NoteMemory, AOffBInOneBlockStartsBAtItsOwnFrame) {
    auto synth = makeSynth();
    EventList events;
    send(*synth, events.noteOn(60, 100, 10).noteOff(60, 20).noteOn(67, 100, 30));
    EXPECT_EQ(synth->currentNote, 67);
    EXPECT_EQ(synth->pendingNoteOffset, 30);
    const Block block = render(*synth, 256);
    EXPECT_TRUE(silent(block, 0, 30));
    EXPECT_NE(block.left[30], 0.0f);
}

} // namespace
