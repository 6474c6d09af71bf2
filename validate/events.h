// Event lists as hosts send them, and the random MIDI streams the checks play.
#pragma once

#include "host_interface/aeffect.h"

#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace quillo::validate {

// One event of a block: a MIDI message, a system-exclusive dump, or an event of
// another type that a plug-in should skip.
struct ScriptEvent {
    enum class Kind { Midi, SysEx, Other };
    Kind kind = Kind::Midi;
    int32_t deltaFrames = 0;
    std::array<uint8_t, 3> bytes{};
    int32_t type = kVstMidiType; // for Kind::Other
};

struct ParameterWrite {
    int32_t index;
    float value;
};

// What a host does for one block: set parameters, send events, then render.
struct ScriptBlock {
    int32_t frames = 0;
    std::vector<ParameterWrite> parameters;
    std::vector<ScriptEvent> events;
};

// A VstEvents list with all storage taken up front, so sending a block allocates
// nothing in the validator either.
class EventList {
  public:
    explicit EventList(size_t capacity);
    EventList(const EventList&) = delete;
    EventList& operator=(const EventList&) = delete;

    void clear();
    // Adds as many of the events as fit; returns false if some did not.
    bool assign(const std::vector<ScriptEvent>& events);
    size_t size() const { return static_cast<size_t>(list()->numEvents); }
    VstEvents* vstEvents() { return list(); }

  private:
    VstEvents* list() const { return reinterpret_cast<VstEvents*>(header_.data()); }
    VstEvent** slots() { return reinterpret_cast<VstEvent**>(header_.data() + 2); }

    size_t capacity_;
    // The count and the reserved word, then one pointer per event.
    mutable std::vector<void*> header_;
    std::vector<VstMidiEvent> midi_;
    std::vector<VstMidiSysexEvent> sysex_;
    std::vector<VstEvent> other_;
};

// Random but reproducible MIDI: notes on any channel, controllers (126 among
// them), bends, pressure, program changes, system messages, SysEx dumps and
// events of types a plug-in does not know. Keeps track of the keys it holds
// down so that it can let go of all of them.
class RandomMidi {
  public:
    explicit RandomMidi(uint64_t seed) : rng_(seed) {}

    // About eventsPerSecond events spread over a block, in frame order.
    void fillBlock(int32_t frames, double sampleRate, double eventsPerSecond,
                   std::vector<ScriptEvent>& out);
    // Sustain off, a note-off for every held key, then reset, all-notes-off,
    // all-sound-off and controller 126 on every channel, all at frame 0.
    void releaseAll(std::vector<ScriptEvent>& out);

    // Presses or releases one key, keeping count of what is held.
    ScriptEvent noteOn(uint8_t channel, uint8_t key, uint8_t velocity);
    ScriptEvent noteOff(uint8_t channel, uint8_t key);

    std::mt19937_64& rng() { return rng_; }

  private:
    ScriptEvent randomEvent();

    std::mt19937_64 rng_;
    std::array<uint16_t, 16 * 128> held_{}; // note-ons not yet released, per channel and key
};

// A single message at a frame.
ScriptEvent midiEvent(int32_t deltaFrames, uint8_t status, uint8_t data1, uint8_t data2);

// Random writes of values in 0..1, about one per perFrames frames.
void randomParameterWrites(std::mt19937_64& rng, int32_t numParams, int32_t frames,
                           int32_t perFrames, std::vector<ParameterWrite>& out);

// A reproducible script of blocks with random sizes in 1..maxFrames.
std::vector<ScriptBlock> randomScript(uint64_t seed, int32_t numParams, double sampleRate,
                                      int32_t totalFrames, int32_t maxFrames);

} // namespace quillo::validate
