#include "render/midi_file.h"

#include "hosting/user_error.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillo::render {
namespace {

using u128 = unsigned __int128;

// Larger inputs are not MIDI files; the bound keeps a stream from filling memory.
constexpr size_t kLargestFile = size_t{256} << 20;
constexpr uint32_t kDefaultTempo = 500000; // 120 bpm
constexpr int64_t kLastFrame = int64_t{1} << 62;

[[noreturn]] void malformed(const std::string& reason) {
    throw UserError("malformed MIDI file: " + reason);
}

std::string hexByte(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

uint32_t big32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

uint16_t big16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

uint32_t little32(const uint8_t* bytes) {
    return uint32_t{bytes[3]} << 24 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[1]} << 8 | bytes[0];
}

// Reads one track chunk's events; offsets in messages count from the file's start.
class TrackReader {
  public:
    TrackReader(const uint8_t* file, size_t begin, size_t end, int number)
        : file_(file), at_(begin), end_(end), number_(number) {}

    MidiTrack read(std::vector<std::string>& warnings) {
        MidiTrack track;
        int64_t tick = 0;
        uint8_t running = 0;
        while (at_ < end_) {
            tick += variableLength();
            need(1);
            const size_t eventStart = at_;
            const uint8_t status = file_[at_];
            if (status == 0xFF) {
                need(2);
                const uint8_t type = file_[at_ + 1];
                at_ += 2;
                const uint32_t length = variableLength();
                need(length);
                const uint8_t* data = file_ + at_;
                at_ += length;
                if (type == 0x2F) {
                    track.hasEnd = true;
                    track.endTick = tick;
                    return track; // anything after End of Track is not part of the track
                }
                readMeta(type, data, length, tick, track, warnings);
            } else if (status == 0xF0 || status == 0xF7) {
                ++at_;
                const uint32_t length = variableLength();
                need(length);
                at_ += length; // system exclusive: not sent
            } else if (status > 0xF0) {
                fail(std::string("status byte ") + hexByte(status) +
                         " is not allowed in a MIDI file",
                     eventStart);
            } else {
                if (status & 0x80) {
                    running = status;
                    ++at_;
                } else if (!running) {
                    fail("data byte " + hexByte(status) + " without a status byte", eventStart);
                }
                TrackEvent event;
                event.tick = tick;
                event.bytes[0] = running;
                event.length = (running & 0xE0) == 0xC0 ? 2 : 3; // program change, pressure
                for (int i = 1; i < event.length; ++i) {
                    need(1);
                    if (file_[at_] & 0x80) {
                        fail("status " + hexByte(running) + " is missing a data byte", eventStart);
                    }
                    event.bytes[i] = file_[at_++];
                }
                track.events.push_back(event);
            }
        }
        warnings.push_back("track " + std::to_string(number_) +
                           " has no End of Track event; it ends with its last event");
        track.endTick = tick;
        return track;
    }

  private:
    [[noreturn]] void fail(const std::string& reason, size_t at) const {
        malformed("track " + std::to_string(number_) + ": " + reason + " at byte " +
                  std::to_string(at));
    }

    void need(size_t bytes) const {
        if (bytes > end_ - at_) {
            fail("an event runs past the end of the track", at_);
        }
    }

    uint32_t variableLength() {
        const size_t start = at_;
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            need(1);
            const uint8_t byte = file_[at_++];
            value = value << 7 | (byte & 0x7F);
            if (!(byte & 0x80)) return value;
        }
        fail("a variable-length number longer than 4 bytes", start);
    }

    void readMeta(uint8_t type, const uint8_t* data, uint32_t length, int64_t tick,
                  MidiTrack& track, std::vector<std::string>& warnings) const {
        if (type == 0x51 && length >= 3) {
            const uint32_t tempo = uint32_t{data[0]} << 16 | uint32_t{data[1]} << 8 | data[2];
            if (tempo == 0) {
                warnings.push_back("track " + std::to_string(number_) +
                                   ": a tempo of 0 microseconds a quarter note is ignored");
                return;
            }
            track.timing.push_back({tick, tempo, 0, 0});
        } else if (type == 0x58 && length >= 2) {
            const uint8_t numerator = std::max<uint8_t>(data[0], 1);
            const uint8_t denominator = static_cast<uint8_t>(1u << std::min<uint8_t>(data[1], 7));
            track.timing.push_back({tick, 0, numerator, denominator});
        } else if (type == 0x03 && track.name.empty()) {
            for (uint32_t i = 0; i < length; ++i) {
                const char c = static_cast<char>(data[i]);
                track.name += (c >= 0x20 && c < 0x7F) ? c : '?';
            }
        }
    }

    const uint8_t* file_;
    size_t at_;
    size_t end_;
    int number_;
};

// Where the Standard MIDI File starts and ends: the whole input, or the data
// chunk of a RIFF "RMID" file.
std::pair<size_t, size_t> unwrapRiff(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "RMID", 4) != 0) {
        return {0, bytes.size()};
    }
    for (size_t at = 12; bytes.size() - at >= 8;) {
        const uint32_t length = little32(&bytes[at + 4]);
        if (std::memcmp(&bytes[at], "data", 4) == 0) {
            if (length > bytes.size() - at - 8) malformed("the RMID data chunk is cut short");
            return {at + 8, at + 8 + length};
        }
        if (length > bytes.size() - at - 8) break;
        at += 8 + length + (length & 1);
    }
    malformed("a RIFF RMID file without a data chunk");
}

// Time in units of 1 / unitsPerSecond seconds, one tempo segment after another.
class Timeline {
  public:
    Timeline(const MidiFile& file, std::vector<TimingEvent> tempos) {
        if (file.ticksPerQuarter > 0) {
            // A tick lasts microsecondsPerQuarter / (10^6 × ticksPerQuarter) seconds.
            unitsPerSecond_ = u128{1000000} * static_cast<unsigned>(file.ticksPerQuarter);
            segments_.push_back({0, 0, kDefaultTempo});
            for (const TimingEvent& tempo : tempos) {
                if (!tempo.microsecondsPerQuarter) continue;
                const u128 start = unitsAt(tempo.tick);
                if (segments_.back().tick == tempo.tick) segments_.pop_back();
                segments_.push_back({tempo.tick, start, tempo.microsecondsPerQuarter});
            }
        } else {
            // A tick lasts 1 / (frames a second × ticks a frame) seconds; 29 stands
            // for the 30000/1001 frames a second of drop-frame time code.
            const bool dropFrame = file.smpteFramesPerSecond == 29;
            const unsigned fps =
                dropFrame ? 30000 : static_cast<unsigned>(file.smpteFramesPerSecond);
            unitsPerSecond_ = u128{fps} * static_cast<unsigned>(file.ticksPerFrame);
            segments_.push_back({0, 0, dropFrame ? 1001u : 1u});
        }
    }

    u128 unitsAt(int64_t tick) const {
        auto segment = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                        [](int64_t t, const Segment& s) { return t < s.tick; });
        --segment;
        return segment->units +
               u128(static_cast<uint64_t>(tick - segment->tick)) * segment->unitsPerTick;
    }

    u128 unitsPerSecond() const { return unitsPerSecond_; }

  private:
    struct Segment {
        int64_t tick;
        u128 units;
        uint32_t unitsPerTick;
    };
    std::vector<Segment> segments_;
    u128 unitsPerSecond_ = 1;
};

struct Placed {
    u128 units;
    TrackEvent event;
};

std::vector<uint8_t> readAll(int fd) {
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw UserError(std::string("cannot read: ") + std::strerror(errno));
        if (got == 0) return bytes;
        if (bytes.size() + static_cast<size_t>(got) > kLargestFile) {
            throw UserError("not a Standard MIDI File (larger than 256 MiB)");
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
}

} // namespace

bool EventSelection::includes(int trackNumber, uint8_t status) const {
    if (!(channels >> (status & 0x0F) & 1)) return false;
    return tracks.empty() || std::find(tracks.begin(), tracks.end(), trackNumber) != tracks.end();
}

int64_t exactFrame(u128 units, u128 unitsPerSecond, int32_t sampleRate) {
    // units × rate / unitsPerSecond, half up: floor((2 × units × rate + d) / 2d).
    // Files longer than a few thousand years would overflow; they are clamped.
    if (units >> 80) return kLastFrame;
    const u128 frame =
        (2 * units * static_cast<unsigned>(sampleRate) + unitsPerSecond) / (2 * unitsPerSecond);
    return frame > kLastFrame ? kLastFrame : static_cast<int64_t>(frame);
}

MidiFile parseMidiFile(const std::vector<uint8_t>& bytes) {
    const auto [begin, end] = unwrapRiff(bytes);
    const uint8_t* data = bytes.data();
    if (end - begin < 8 || std::memcmp(data + begin, "MThd", 4) != 0) {
        throw UserError("not a Standard MIDI File");
    }
    const uint32_t headerLength = big32(data + begin + 4);
    if (headerLength < 6) malformed("a header chunk of " + std::to_string(headerLength) + " bytes");
    if (headerLength > end - begin - 8) malformed("the header chunk is cut short");
    const uint8_t* header = data + begin + 8;

    MidiFile file;
    file.type = big16(header);
    const int declaredTracks = big16(header + 2);
    const uint16_t division = big16(header + 4);
    if (file.type > 2) malformed("type " + std::to_string(file.type) + " (types are 0, 1 and 2)");
    if (division & 0x8000) {
        file.smpteFramesPerSecond = -static_cast<int8_t>(division >> 8);
        file.ticksPerFrame = division & 0xFF;
        const int fps = file.smpteFramesPerSecond;
        if (fps != 24 && fps != 25 && fps != 29 && fps != 30) {
            malformed("SMPTE time division of " + std::to_string(fps) +
                      " frames a second (24, 25, 29 or 30)");
        }
        if (file.ticksPerFrame == 0) malformed("SMPTE time division of 0 ticks a frame");
    } else {
        file.ticksPerQuarter = division;
        if (division == 0) malformed("time division 0");
    }

    size_t at = begin + 8 + headerLength;
    while (at < end) {
        if (end - at < 8) {
            if (std::any_of(data + at, data + end, [](uint8_t b) { return b != 0; })) {
                file.warnings.push_back(std::to_string(end - at) +
                                        " bytes after the last chunk are not read");
            }
            break;
        }
        const uint32_t length = big32(data + at + 4);
        const bool isTrack = std::memcmp(data + at, "MTrk", 4) == 0;
        const int number = static_cast<int>(file.tracks.size()) + 1;
        if (length > end - at - 8) {
            if (isTrack) {
                malformed("track " + std::to_string(number) +
                          " is cut short: the file ends inside it");
            }
            file.warnings.push_back("a chunk cut short at the end of the file is not read");
            break;
        }
        if (isTrack) {
            file.tracks.push_back(
                TrackReader(data, at + 8, at + 8 + length, number).read(file.warnings));
        } else {
            std::string id(reinterpret_cast<const char*>(data + at), 4);
            for (char& c : id)
                if (c < 0x20 || c >= 0x7F) c = '?';
            file.skippedChunks.push_back(id);
        }
        at += 8 + length;
    }

    const int found = static_cast<int>(file.tracks.size());
    if (found < declaredTracks) {
        malformed("the header announces " + std::to_string(declaredTracks) +
                  " tracks, the file holds " + std::to_string(found));
    }
    if (found > declaredTracks) {
        file.warnings.push_back("the header announces " + std::to_string(declaredTracks) +
                                " tracks, the file holds " + std::to_string(found) +
                                "; all are played");
    }
    if (file.type == 0 && found > 1) {
        file.warnings.push_back("a type 0 file with " + std::to_string(found) +
                                " tracks; they are played together");
    }
    return file;
}

MidiFile readMidiFile(const std::string& path) {
    try {
        if (path == "-") return parseMidiFile(readAll(STDIN_FILENO));
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw UserError(std::strerror(errno));
        struct stat status;
        if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
            ::close(fd);
            throw UserError("is a directory");
        }
        std::vector<uint8_t> bytes;
        try {
            bytes = readAll(fd);
        } catch (...) {
            ::close(fd);
            throw;
        }
        ::close(fd);
        return parseMidiFile(bytes);
    } catch (const UserError& error) {
        throw UserError((path == "-" ? std::string("standard input") : path) + ": " + error.what());
    }
}

Score placeEvents(const MidiFile& file, int32_t sampleRate, const EventSelection& selection) {
    // Types 0 and 1 play their tracks together under one tempo map, whichever
    // track holds it; type 2 plays them one after another, each with its own.
    std::vector<std::vector<const MidiTrack*>> sequences;
    if (file.type == 2) {
        for (const MidiTrack& track : file.tracks)
            sequences.push_back({&track});
    } else {
        sequences.emplace_back();
        for (const MidiTrack& track : file.tracks)
            sequences.back().push_back(&track);
    }

    Score score;
    std::vector<TempoSegment> tempoSegments;
    std::vector<Placed> placed;
    u128 offset = 0; // where the sequence starts
    u128 unitsPerSecond = 1;
    u128 fileEnd = 0;
    int trackNumber = 1;
    for (const std::vector<const MidiTrack*>& sequence : sequences) {
        std::vector<TimingEvent> timing;
        for (const MidiTrack* track : sequence)
            timing.insert(timing.end(), track->timing.begin(), track->timing.end());
        std::stable_sort(
            timing.begin(), timing.end(),
            [](const TimingEvent& a, const TimingEvent& b) { return a.tick < b.tick; });
        const Timeline timeline(file, timing);
        unitsPerSecond = timeline.unitsPerSecond();

        // The transport's tempo and time signature from the sequence's start.
        TempoSegment current;
        current.startSeconds = static_cast<double>(offset) / static_cast<double>(unitsPerSecond);
        tempoSegments.push_back(current);
        for (const TimingEvent& change : timing) {
            current.startSeconds = static_cast<double>(offset + timeline.unitsAt(change.tick)) /
                                   static_cast<double>(unitsPerSecond);
            if (change.microsecondsPerQuarter) {
                current.beatsPerMinute = 60e6 / change.microsecondsPerQuarter;
            } else {
                current.timeSigNumerator = change.numerator;
                current.timeSigDenominator = change.denominator;
            }
            if (tempoSegments.back().startSeconds == current.startSeconds) tempoSegments.pop_back();
            tempoSegments.push_back(current);
        }

        int64_t sequenceEnd = 0;
        for (const MidiTrack* track : sequence) {
            for (const TrackEvent& event : track->events) {
                if (selection.includes(trackNumber, event.bytes[0])) {
                    placed.push_back({offset + timeline.unitsAt(event.tick), event});
                }
            }
            sequenceEnd = std::max(sequenceEnd, track->endTick);
            ++trackNumber;
        }
        offset += timeline.unitsAt(sequenceEnd);
        fileEnd = offset;
    }

    // At one time, tracks keep the file's order and each track its own.
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed& a, const Placed& b) { return a.units < b.units; });
    score.events.reserve(placed.size());
    for (const Placed& p : placed) {
        TimedMidiEvent event;
        event.frame = exactFrame(p.units, unitsPerSecond, sampleRate);
        std::memcpy(event.bytes, p.event.bytes, sizeof event.bytes);
        event.length = p.event.length;
        score.events.push_back(event);
    }
    // The music ends with its last event sent, not at a tempo change or End of
    // Track that may sit long after it; the tail follows from there.
    score.endFrame = score.events.empty() ? 0 : score.events.back().frame;
    score.fileEndFrame = exactFrame(fileEnd, unitsPerSecond, sampleRate);

    // Beats for the transport, counted on from each segment's tempo.
    for (size_t i = 1; i < tempoSegments.size(); ++i) {
        const TempoSegment& previous = tempoSegments[i - 1];
        tempoSegments[i].startBeats =
            previous.startBeats + (tempoSegments[i].startSeconds - previous.startSeconds) *
                                      previous.beatsPerMinute / 60.0;
    }
    score.tempo = TempoMap(std::move(tempoSegments));
    return score;
}

} // namespace quillo::render
