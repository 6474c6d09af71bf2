// Event intake: random VstEvents lists (any types, delta frames, MIDI bytes and
// counts, null entries, SysEx dumps), each followed by a block of audio.

#include "fuzz/fuzz_support.h"

#include <vector>

namespace {

constexpr int kMaxEvents = 64;

// VstEvents with room for kMaxEvents pointers, laid out like the host's list.
struct EventList {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[kMaxEvents];
};
static_assert(offsetof(EventList, events) == offsetof(VstEvents, events));

const char kDump[] = {'\xF0', '\x43', '\x10', '\x4C', '\x00', '\x00', '\x7E', '\x00', '\xF7'};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes in(data, size);
    fuzz::Synth synth;
    std::vector<VstMidiEvent> midi(kMaxEvents);
    std::vector<VstMidiSysexEvent> sysex(kMaxEvents);
    std::vector<VstEvent> other(kMaxEvents);
    EventList list{};

    for (int block = 0; block < 64 && !in.empty(); ++block) {
        const int count = in.u8() % (kMaxEvents + 1);
        for (int i = 0; i < count; ++i) {
            const uint8_t kind = in.u8();
            const int32_t delta = in.smallOrAny(2048);
            if (kind < 200) {
                VstMidiEvent& event = midi[i];
                event = VstMidiEvent{};
                event.type = kVstMidiType;
                event.byteSize = sizeof event;
                event.deltaFrames = delta;
                for (char& byte : event.midiData)
                    byte = static_cast<char>(in.u8());
                event.detune = static_cast<char>(in.u8());
                list.events[i] = reinterpret_cast<VstEvent*>(&event);
            } else if (kind < 220) {
                VstMidiSysexEvent& event = sysex[i];
                event = VstMidiSysexEvent{};
                event.type = kVstSysExType;
                event.byteSize = sizeof event;
                event.deltaFrames = delta;
                event.dumpBytes = sizeof kDump;
                event.sysexDump = const_cast<char*>(kDump);
                list.events[i] = reinterpret_cast<VstEvent*>(&event);
            } else if (kind < 236) {
                list.events[i] = nullptr;
            } else {
                VstEvent& event = other[i];
                event = VstEvent{};
                event.type = in.i32();
                event.byteSize = in.i32();
                event.deltaFrames = delta;
                list.events[i] = &event;
            }
        }
        // A count that does not fit the list is what broken hosts send: only
        // counts of zero or less stay within what the list holds.
        const uint8_t shape = in.u8();
        list.numEvents = shape < 240 ? count : (shape < 250 ? -count : INT32_MIN + count);
        synth.dispatch(effProcessEvents, 0, 0, shape == 255 ? nullptr : &list, 0.0f);

        const uint8_t frames = in.u8();
        synth.render(frames < 250 ? in.u16() % (fuzz::Synth::kMaxFrames + 1) : -in.smallOrAny(4));
    }
    return 0;
}
