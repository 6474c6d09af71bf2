// The instrument's MIDI intake: one voice, last-note priority, on every channel.
//
// A key pressed over a held one moves the pitch without restarting the envelopes;
// releasing the sounding key falls back to the newest key still held. Only a note
// that starts the voice afresh is placed inside the block, at its delta frames;
// everything else takes effect from the first frame of the next block.

#include "synth/synth_core.h"

namespace {
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kAllSoundOff = 126; // silences at once, with no release
} // namespace

void SynthCore::receiveMidi(const uint8_t* bytes, int32_t deltaFrames) {
    const uint8_t kind = bytes[0] & 0xF0; // every channel plays the voice
    const uint8_t key = bytes[1] & 0x7F;
    const uint8_t velocity = bytes[2] & 0x7F;

    if (kind == kNoteOn && velocity != 0) {
        noteOn(key, velocity, deltaFrames);
    } else if (kind == kNoteOn || kind == kNoteOff) {
        noteOff(key);
    } else if (kind == kControlChange && bytes[1] == kAllSoundOff) {
        noteMemory.clear();
        voiceActive = false;
    }
}

void SynthCore::noteOn(uint8_t key, uint8_t velocity, int32_t deltaFrames) {
    if (noteMemory.holdsNote()) {
        noteMemory.pushFront(key, velocity);
        currentNote = key;
        oscillators.startNote(key);
        return;
    }
    // Even a voice still sounding its release starts again from silence.
    noteMemory.setFront(key, velocity);
    currentNote = key;
    pendingNoteOffset = deltaFrames;
    voiceActive = true;
    oscillators.startNote(key);
    envelope1.start();
    envelope2.start();
}

void SynthCore::noteOff(uint8_t key) {
    switch (noteMemory.remove(key)) {
    case NoteMemory::Release::NotHeld:
    case NoteMemory::Release::Background: break;
    case NoteMemory::Release::LastKey:
        // The current note stays, so the release tail sounds at the released pitch.
        envelope1.release();
        envelope2.release();
        break;
    case NoteMemory::Release::FallBack:
        currentNote = noteMemory.newestKey();
        oscillators.startNote(currentNote);
        break;
    }
}
