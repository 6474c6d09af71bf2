// The held keys of the monophonic voice, newest first: slot 0 is the sounding key.
//
// An empty slot holds key 0 and velocity 0, and releases keep the occupied slots
// together from slot 0 on. A fifth held key pushes the oldest out for good.
#pragma once

#include <cstdint>

struct NoteMemory {
    static constexpr int kSlots = 4;

    struct Slot {
        uint8_t key = 0;
        uint8_t velocity = 0;
    };

    // What releasing a key means for the voice.
    enum class Release {
        NotHeld,    // no slot holds the key: nothing changes
        Background, // a key behind the sounding one: pitch and envelopes go on
        LastKey,    // the sounding key with nothing else held: release the envelopes
        FallBack,   // the sounding key: play the newest key still held
    };

    Slot slots[kSlots];

    // Key 0 in slot 0 reads as "nothing held", even when key 0 is really down.
    bool holdsNote() const { return slots[0].key != 0; }
    uint8_t newestKey() const { return slots[0].key; }

    // A key pressed while another is held goes in front of it.
    void pushFront(uint8_t key, uint8_t velocity);
    // A key that starts the voice afresh takes slot 0 alone.
    void setFront(uint8_t key, uint8_t velocity) { slots[0] = {key, velocity}; }
    Release remove(uint8_t key);
    void clear();
};
