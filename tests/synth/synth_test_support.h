// What the synth tests share: an instance whose state the tests can read, a host
// callback that records what the plug-in asks of it, MIDI event lists and blocks.
#pragma once

#include "plugins/vst2/vst_x_synth.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <vector>

// The synth with its state open to the tests.
class SynthUnderTest : public VstXSynth {
  public:
    using VstXSynth::VstXSynth;

    using VstXSynth::currentNote;
    using VstXSynth::envelope1;
    using VstXSynth::envelope2;
    using VstXSynth::filter;
    using VstXSynth::heldValue;
    using VstXSynth::lfo1;
    using VstXSynth::lfo2;
    using VstXSynth::noteMemory;
    using VstXSynth::oscillators;
    using VstXSynth::parameters;
    using VstXSynth::pendingNoteOffset;
    using VstXSynth::programs;
    using VstXSynth::voiceActive;

    int32_t currentProgram() const { return curProgram; }
    float rate() const { return sampleRate; }
    const AEffect& record() const { return cEffect; }
};

// A host that answers the version query and counts requests for MIDI.
struct FakeHost {
    static inline int wantMidiCalls = 0;
    static inline intptr_t lastWantMidiValue = 0;

    static intptr_t callback(AEffect* /*effect*/, int32_t opcode, int32_t /*index*/, intptr_t value,
                             void* /*ptr*/, float /*opt*/) {
        if (opcode == audioMasterVersion) return 2400;
        if (opcode == audioMasterWantMidi) {
            ++wantMidiCalls;
            lastWantMidiValue = value;
        }
        return 0;
    }
};

// The object is about half a megabyte: keep it off the stack.
inline std::unique_ptr<SynthUnderTest> makeSynth(AudioMasterCallback host = FakeHost::callback) {
    return std::make_unique<SynthUnderTest>(host);
}

// An event list laid out as a host lays it out: a header and numEvents pointers.
class EventList {
  public:
    EventList& noteOn(int key, int velocity, int32_t deltaFrames = 0, int channel = 0) {
        return midi(0x90 | channel, key, velocity, deltaFrames);
    }
    EventList& noteOff(int key, int32_t deltaFrames = 0, int channel = 0, int velocity = 64) {
        return midi(0x80 | channel, key, velocity, deltaFrames);
    }
    EventList& controller(int number, int value, int channel = 0) {
        return midi(0xB0 | channel, number, value, 0);
    }
    EventList& midi(int status, int data1, int data2, int32_t deltaFrames = 0) {
        VstMidiEvent event{};
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent);
        event.deltaFrames = deltaFrames;
        event.midiData[0] = static_cast<char>(status);
        event.midiData[1] = static_cast<char>(data1);
        event.midiData[2] = static_cast<char>(data2);
        midiEvents.push_back(event);
        return add(reinterpret_cast<VstEvent*>(&midiEvents.back()));
    }
    EventList& add(VstEvent* event) {
        pointers.push_back(event);
        return *this;
    }

    VstEvents* list() {
        const size_t header = offsetof(VstEvents, events);
        storage.assign(header / sizeof(intptr_t) + pointers.size() + 1, 0);
        auto* events = reinterpret_cast<VstEvents*>(storage.data());
        events->numEvents = static_cast<int32_t>(pointers.size());
        if (!pointers.empty()) // an empty vector's data() may be null
            std::memcpy(reinterpret_cast<char*>(storage.data()) + header, pointers.data(),
                        pointers.size() * sizeof(VstEvent*));
        return events;
    }

  private:
    std::deque<VstMidiEvent> midiEvents; // stable addresses
    std::vector<VstEvent*> pointers;
    std::vector<intptr_t> storage;
};

inline void send(VstXSynth& synth, EventList& events) {
    synth.processEvents(events.list());
}

// Both outputs of one processReplacing call.
struct Block {
    std::vector<float> left;
    std::vector<float> right;
};

// Buffers are filled with `fill` first, so frames left unwritten show.
inline Block render(VstXSynth& synth, int32_t frames, float fill = 7.0f) {
    // One spare sample each, so that even an empty block gets real buffers.
    const size_t size = frames > 0 ? static_cast<size_t>(frames) : 0;
    Block block{std::vector<float>(size + 1, fill), std::vector<float>(size + 1, fill)};
    float* outputs[2] = {block.left.data(), block.right.data()};
    synth.processReplacing(nullptr, outputs, frames);
    EXPECT_EQ(block.left[size], fill) << "written past the block";
    EXPECT_EQ(block.right[size], fill) << "written past the block";
    block.left.resize(size);
    block.right.resize(size);
    return block;
}
