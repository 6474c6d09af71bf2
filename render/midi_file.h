// Standard MIDI Files, read here and placed on frames.
//
// The reader is strict about what is not MIDI (a damaged or cut-short file gives
// one clear error) and lenient where the file standard asks readers to be:
// unknown chunks are skipped, type 2 files play their tracks one after another,
// SMPTE time division is followed, running status survives meta and system
// exclusive events, and a track without its End of Track event ends where its
// chunk ends, with a warning. A RIFF "RMID" wrapper is unwrapped.
//
// Each event's frame is exact: the time from the start is a whole number of
// (microseconds × ticks-per-quarter) units, summed tempo segment by segment, and
// the frame is that time times the sample rate, divided and rounded half up in
// 128-bit integers. No floating-point seconds are accumulated.
#pragma once

#include "render/score.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillo::render {

// A channel message of a track at its tick (running status expanded).
struct TrackEvent {
    int64_t tick = 0;
    uint8_t bytes[3] = {};
    uint8_t length = 0;
};

// A tempo or time signature meta event.
struct TimingEvent {
    int64_t tick = 0;
    uint32_t microsecondsPerQuarter = 0; // 0: a time signature
    uint8_t numerator = 4;
    uint8_t denominator = 4;
};

struct MidiTrack {
    std::string name; // the first Track Name event's text
    std::vector<TrackEvent> events;
    std::vector<TimingEvent> timing;
    int64_t endTick = 0; // End of Track, or the last event when it is missing
    bool hasEnd = false;
};

struct MidiFile {
    int type = 0;
    // Metrical time: ticks per quarter note. SMPTE time: 0, and the frames a
    // second (24, 25, 29 for 29.97 drop frame, 30) and ticks per frame instead.
    int ticksPerQuarter = 0;
    int smpteFramesPerSecond = 0;
    int ticksPerFrame = 0;
    std::vector<MidiTrack> tracks;
    std::vector<std::string> warnings; // things the file gets wrong that do not stop it
    std::vector<std::string> skippedChunks;
};

// Which events are sent: channels 1 to 16 as bits 0 to 15, tracks numbered from
// 1 as sequencers show them (empty: all).
struct EventSelection {
    uint16_t channels = 0xFFFF;
    std::vector<int> tracks;
    bool includes(int trackNumber, uint8_t status) const;
};

// Throws UserError "malformed MIDI file: reason" (or "not a Standard MIDI
// File") for what cannot be read.
MidiFile parseMidiFile(const std::vector<uint8_t>& bytes);

// The file at the path, or standard input for "-". Errors say "PATH: reason".
MidiFile readMidiFile(const std::string& path);

// The selected channel messages at their frames, in time order (at one tick,
// tracks in file order), the tempo map for the transport, and the music's end at
// the last event sent.
Score placeEvents(const MidiFile& file, int32_t sampleRate, const EventSelection& selection = {});

// The frame nearest to the time units / unitsPerSecond seconds, halves rounded up;
// beyond 2^62 frames it stays at 2^62.
int64_t exactFrame(unsigned __int128 units, unsigned __int128 unitsPerSecond, int32_t sampleRate);

} // namespace quillo::render
