#include "render/midi_file.h"

#include "render/render_error.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <glib.h>
#include <smf.h>

namespace quillo::render {
namespace {

// libsmf stops the whole process with a failed assertion on some malformed
// files, and on others only complains and carries on with what it could read.
// So it reads in a child process, which streams what it found back through a
// pipe; any complaint, or a child that dies, makes the file malformed.
enum class Record : uint8_t { Complaint, Tempo, Event, Length, Done };

struct RawEvent {
    double seconds;
    uint8_t bytes[3];
    uint8_t length;
};

void writeAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) _exit(3);
        bytes += written;
        size -= static_cast<size_t>(written);
    }
}

void sendRecord(int fd, Record kind, const void* payload, uint32_t size) {
    writeAll(fd, &kind, sizeof kind);
    writeAll(fd, &size, sizeof size);
    writeAll(fd, payload, size);
}

// libsmf reports through GLib's log; each complaint goes to the parent at once,
// before a possible abort.
void forwardComplaint(const gchar*, GLogLevelFlags level, const gchar* message, gpointer fd) {
    const int serious = G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING;
    if (!(level & serious) || !message) return;
    sendRecord(static_cast<int>(reinterpret_cast<intptr_t>(fd)), Record::Complaint, message,
               static_cast<uint32_t>(std::strlen(message)));
}

bool isChannelMessage(const smf_event_t* event) {
    return event->midi_buffer_length >= 2 && event->midi_buffer[0] >= 0x80 &&
           event->midi_buffer[0] < 0xF0;
}

[[noreturn]] void readInChild(const std::vector<uint8_t>& bytes, int fd) {
    g_log_set_default_handler(forwardComplaint, reinterpret_cast<gpointer>(intptr_t{fd}));
    smf_t* smf = smf_load_from_memory(bytes.data(), static_cast<int>(bytes.size()));
    if (!smf) _exit(1);
    for (int i = 0; const smf_tempo_t* tempo = smf_get_tempo_by_number(smf, i); ++i) {
        TempoSegment segment;
        segment.startSeconds = tempo->time_seconds;
        segment.startBeats = static_cast<double>(tempo->time_pulses) / smf->ppqn;
        segment.beatsPerMinute = 60e6 / tempo->microseconds_per_quarter_note;
        segment.timeSigNumerator = tempo->numerator;
        segment.timeSigDenominator = tempo->denominator;
        sendRecord(fd, Record::Tempo, &segment, sizeof segment);
    }
    // All tracks merged in time order, running status already expanded.
    while (smf_event_t* event = smf_get_next_event(smf)) {
        if (!isChannelMessage(event)) continue;
        RawEvent raw{};
        raw.seconds = event->time_seconds;
        raw.length = static_cast<uint8_t>(std::min(event->midi_buffer_length, 3));
        std::memcpy(raw.bytes, event->midi_buffer, raw.length);
        sendRecord(fd, Record::Event, &raw, sizeof raw);
    }
    const double length = smf_get_length_seconds(smf);
    sendRecord(fd, Record::Length, &length, sizeof length);
    sendRecord(fd, Record::Done, nullptr, 0);
    _exit(0);
}

std::vector<uint8_t> readUntilClosed(int fd) {
    std::vector<uint8_t> stream;
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        stream.insert(stream.end(), chunk, chunk + got);
    }
    return stream;
}

// libsmf's messages start with "SMF error: " or similar; the user needs the rest.
std::string plainReason(std::string message) {
    for (const char* prefix : {"SMF error: ", "SMF warning: "}) {
        const size_t length = std::strlen(prefix);
        if (message.compare(0, length, prefix) == 0) message.erase(0, length);
    }
    while (!message.empty() && (message.back() == '.' || message.back() == '\n')) {
        message.pop_back();
    }
    return message;
}

std::vector<uint8_t> readFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw RenderError(std::strerror(errno));
    std::vector<uint8_t> bytes;
    struct stat status;
    if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(fd);
        throw RenderError("is a directory");
    }
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            throw RenderError(std::string("cannot read: ") + std::strerror(error));
        }
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    ::close(fd);
    return bytes;
}

} // namespace

Score parseMidiFile(const std::vector<uint8_t>& bytes, double sampleRate) {
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "MThd", 4) != 0) {
        throw RenderError("not a Standard MIDI File");
    }
    // libsmf reads only types 0 and 1 anyway; say so plainly. The type is the
    // 16-bit number after the header's length.
    if (bytes.size() >= 10) {
        const int format = bytes[8] << 8 | bytes[9];
        if (format > 1) {
            throw RenderError("MIDI file of type " + std::to_string(format) +
                              ": only types 0 and 1 can be rendered");
        }
    }
    int channel[2];
    if (pipe(channel) != 0) throw RenderError(std::string("cannot read: ") + std::strerror(errno));
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        throw RenderError(std::string("cannot read: ") + std::strerror(errno));
    }
    if (child == 0) {
        ::close(channel[0]);
        // A failed assertion would print; the parent reports instead.
        const int devNull = ::open("/dev/null", O_WRONLY);
        if (devNull >= 0) dup2(devNull, STDERR_FILENO);
        readInChild(bytes, channel[1]);
    }
    ::close(channel[1]);
    const std::vector<uint8_t> stream = readUntilClosed(channel[0]);
    ::close(channel[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    Score score;
    std::vector<TempoSegment> tempo;
    std::string complaint;
    double lengthSeconds = 0.0;
    bool done = false;
    constexpr size_t kHeader = 1 + sizeof(uint32_t);
    for (size_t at = 0; at + kHeader <= stream.size();) {
        const auto kind = static_cast<Record>(stream[at]);
        uint32_t size = 0;
        std::memcpy(&size, &stream[at + 1], sizeof size);
        if (at + kHeader + size > stream.size()) break;
        const uint8_t* payload = &stream[at + kHeader];
        at += kHeader + size;
        switch (kind) {
        case Record::Complaint:
            if (complaint.empty()) complaint.assign(payload, payload + size);
            break;
        case Record::Tempo: {
            TempoSegment segment;
            std::memcpy(&segment, payload, sizeof segment);
            tempo.push_back(segment);
            break;
        }
        case Record::Event: {
            RawEvent raw;
            std::memcpy(&raw, payload, sizeof raw);
            TimedMidiEvent event;
            event.frame = frameAt(raw.seconds, sampleRate);
            event.length = raw.length;
            std::memcpy(event.bytes, raw.bytes, sizeof event.bytes);
            score.events.push_back(event);
            break;
        }
        case Record::Length: std::memcpy(&lengthSeconds, payload, sizeof lengthSeconds); break;
        case Record::Done: done = true; break;
        }
    }

    const bool childFinished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!done || !childFinished || !complaint.empty()) {
        const std::string reason =
            complaint.empty() ? "unreadable track data" : plainReason(complaint);
        throw RenderError("malformed MIDI file: " + reason);
    }
    score.tempo = TempoMap(std::move(tempo));
    score.endFrame = frameAt(lengthSeconds, sampleRate);
    if (!score.events.empty()) score.endFrame = std::max(score.endFrame, score.events.back().frame);
    return score;
}

Score loadMidiFile(const std::string& path, double sampleRate) {
    std::vector<uint8_t> bytes;
    try {
        bytes = readFile(path);
        return parseMidiFile(bytes, sampleRate);
    } catch (const RenderError& error) {
        throw RenderError(path + ": " + error.what());
    }
}

} // namespace quillo::render
