// Standard MIDI Files laid down byte by byte, for the tests.
#pragma once

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace midi_bytes {

using Bytes = std::vector<uint8_t>;

inline void appendVariableLength(Bytes& out, uint32_t value) {
    uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = value & 0x7F;
        value >>= 7;
    } while (value);
    while (count > 1)
        out.push_back(groups[--count] | 0x80);
    out.push_back(groups[0]);
}

inline void appendBig(Bytes& out, uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back((value >> shift) & 0xFF);
}

// One event of a track: delta time in ticks and the raw bytes (running status
// allowed: leave the status byte out).
struct Event {
    uint32_t delta;
    Bytes bytes;
};

inline Event tempo(uint32_t delta, uint32_t microsecondsPerQuarter) {
    return {delta,
            {0xFF, 0x51, 0x03, static_cast<uint8_t>(microsecondsPerQuarter >> 16),
             static_cast<uint8_t>(microsecondsPerQuarter >> 8),
             static_cast<uint8_t>(microsecondsPerQuarter)}};
}

// A track chunk, closed with End of Track after endDelta ticks.
inline Bytes track(std::initializer_list<Event> events, uint32_t endDelta = 0) {
    Bytes body;
    for (const Event& event : events) {
        appendVariableLength(body, event.delta);
        body.insert(body.end(), event.bytes.begin(), event.bytes.end());
    }
    appendVariableLength(body, endDelta);
    body.insert(body.end(), {0xFF, 0x2F, 0x00});
    Bytes chunk = {'M', 'T', 'r', 'k'};
    appendBig(chunk, static_cast<uint32_t>(body.size()), 4);
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

inline Bytes file(uint16_t format, uint16_t ticksPerQuarter, std::initializer_list<Bytes> tracks) {
    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
    appendBig(out, format, 2);
    appendBig(out, static_cast<uint32_t>(tracks.size()), 2);
    appendBig(out, ticksPerQuarter, 2);
    for (const Bytes& t : tracks)
        out.insert(out.end(), t.begin(), t.end());
    return out;
}

inline void save(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

} // namespace midi_bytes
