// The validator's own event lists and random streams: what the silence checks
// rely on to end every note they started.
#include "validate/events.h"
#include "validate/guarded_bytes.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

using quillo::validate::EventList;
using quillo::validate::GuardedBytes;
using quillo::validate::RandomMidi;
using quillo::validate::ScriptEvent;

TEST(EventList, HandsEveryKindOfEventOverInOrder) {
    std::vector<ScriptEvent> events(3);
    events[0] = quillo::validate::midiEvent(5, 0x90, 60, 100);
    events[1].kind = ScriptEvent::Kind::SysEx;
    events[2].kind = ScriptEvent::Kind::Other;
    events[2].type = 3;
    EventList list(8);
    ASSERT_TRUE(list.assign(events));
    VstEvents* vst = list.vstEvents();
    ASSERT_EQ(vst->numEvents, 3);
    VstEvent* const* pointers = vst->events;
    const auto* note = reinterpret_cast<const VstMidiEvent*>(pointers[0]);
    EXPECT_EQ(note->type, kVstMidiType);
    EXPECT_EQ(note->deltaFrames, 5);
    EXPECT_EQ(static_cast<uint8_t>(note->midiData[1]), 60);
    const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(pointers[1]);
    EXPECT_EQ(sysex->type, kVstSysExType);
    EXPECT_EQ(static_cast<uint8_t>(sysex->sysexDump[0]), 0xF0);
    EXPECT_EQ(static_cast<uint8_t>(sysex->sysexDump[sysex->dumpBytes - 1]), 0xF7);
    EXPECT_EQ(pointers[2]->type, 3);
}

TEST(EventList, KeepsWhatFitsAndSaysSo) {
    EventList list(2);
    EXPECT_FALSE(list.assign(std::vector<ScriptEvent>(5)));
    EXPECT_EQ(list.size(), 2u);
}

// Every note-on of a long random stream is answered by a note-off of the same
// channel and key once the stream lets go of everything.
TEST(RandomMidi, ReleaseAllEndsEveryNoteItStarted) {
    RandomMidi midi(42);
    std::multiset<std::pair<int, int>> sounding;
    const auto apply = [&](const std::vector<ScriptEvent>& events) {
        for (const ScriptEvent& e : events) {
            if (e.kind != ScriptEvent::Kind::Midi) continue;
            const int kind = e.bytes[0] & 0xF0;
            const std::pair<int, int> note{e.bytes[0] & 0x0F, e.bytes[1]};
            if (kind == 0x90 && e.bytes[2] > 0) {
                sounding.insert(note);
            } else if ((kind == 0x80 || kind == 0x90) && sounding.count(note)) {
                sounding.erase(sounding.find(note));
            }
        }
    };
    std::vector<ScriptEvent> events;
    for (int block = 0; block < 500; ++block) {
        midi.fillBlock(512, 44100.0, 200.0, events);
        for (size_t i = 1; i < events.size(); ++i)
            ASSERT_LE(events[i - 1].deltaFrames, events[i].deltaFrames);
        apply(events);
    }
    ASSERT_FALSE(sounding.empty());
    midi.releaseAll(events);
    apply(events);
    EXPECT_TRUE(sounding.empty());
}

TEST(GuardedBytes, TellsWritesOnEitherSideFromTextsThatDoNotEnd) {
    GuardedBytes inside(8);
    std::memcpy(inside.data(), "1234567", 8);
    EXPECT_EQ(inside.damage(), "");
    EXPECT_TRUE(inside.terminated());
    EXPECT_EQ(inside.text(), "1234567");

    GuardedBytes unterminated(4);
    std::memset(unterminated.data(), 'x', 4);
    EXPECT_EQ(unterminated.damage(), "");
    EXPECT_FALSE(unterminated.terminated());

    GuardedBytes past(4);
    past.data()[4] = 0;
    EXPECT_EQ(past.damage(), "wrote past the end of its 4-byte buffer");

    GuardedBytes before(4);
    before.data()[-1] = 0;
    EXPECT_EQ(before.damage(), "wrote before the start of its 4-byte buffer");
}

} // namespace
