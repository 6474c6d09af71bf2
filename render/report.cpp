#include "render/report.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <iostream>

namespace quillo::render {
namespace {

std::string channelList(uint16_t channels) {
    std::string list;
    for (int c = 0; c < 16; ++c)
        if (channels >> c & 1) list += (list.empty() ? "" : ",") + std::to_string(c + 1);
    return list.empty() ? "none" : list;
}

// "[####------]": forty places, the fraction of them filled.
std::string barOf(double fraction) {
    constexpr int kWidth = 40;
    const int filled = static_cast<int>(fraction * kWidth);
    std::string bar(filled, '#');
    bar.append(kWidth - filled, '-');
    return "[" + bar + "]";
}

} // namespace

void warn(std::ostream& out, const std::string& about, const std::string& text) {
    out << "quillo-render: warning: " << about << ": " << text << "\n";
}

std::string textf(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int size = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text(static_cast<size_t>(std::max(size, 0)), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

std::string formatDuration(double seconds) {
    char text[32];
    if (seconds < 60) {
        std::snprintf(text, sizeof text, "%.2f s", seconds);
    } else {
        std::snprintf(text, sizeof text, "%d:%05.2f", static_cast<int>(seconds / 60),
                      std::fmod(seconds, 60.0));
    }
    return text;
}

ProgressBar::~ProgressBar() {
    if (drawn_) std::fputs("\r\033[K", stderr);
}

void ProgressBar::update(int64_t done, int64_t end) {
    const auto now = Clock::now();
    if (drawn_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    drawn_ = true;
    const double fraction = end > 0 ? std::min(1.0, static_cast<double>(done) / end) : 1.0;
    std::fprintf(stderr, "\r%s %3d%%  %s", barOf(fraction).c_str(),
                 static_cast<int>(fraction * 100), formatDuration(done / sampleRate_).c_str());
    if (done > end) std::fprintf(stderr, " (tail +%.1f s)", (done - end) / sampleRate_);
    std::fputs("\033[K", stderr);
    std::fflush(stderr);
}

JobReport::JobReport(bool collect)
    : messages_(collect ? &collectedMessages_ : &std::cerr),
      summary_(collect ? &collectedSummary_ : &std::cout) {}

Console::Console(size_t jobs, bool bar) : jobs_(jobs), bar_(bar) {
    std::lock_guard<std::mutex> lock(mutex_);
    drawBar();
}

Console::~Console() {
    clearBar();
}

void Console::jobDone(const JobReport& report) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string messages = report.collectedMessages();
    const std::string summary = report.collectedSummary();
    if (!messages.empty() || !summary.empty()) {
        clearBar();
        std::cerr << messages << std::flush;
        std::cout << summary << std::flush;
    }
    ++done_;
    drawBar();
}

void Console::clearBar() {
    if (drawn_) std::fputs("\r\033[K", stderr);
    drawn_ = false;
}

// Time left: the time each job has taken so far, on average, for each job to come.
void Console::drawBar() {
    if (!bar_) return;
    const auto now = Clock::now();
    if (drawn_ && done_ < jobs_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    const double fraction = jobs_ > 0 ? static_cast<double>(done_) / jobs_ : 1.0;
    std::string left = "";
    if (done_ > 0 && done_ < jobs_) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - started_).count();
        left = ", " + formatDuration(elapsed / done_ * (jobs_ - done_)) + " left";
    }
    std::fprintf(stderr, "\r%s %zu/%zu%s\033[K", barOf(fraction).c_str(), done_, jobs_,
                 left.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

std::string decibels(float level) {
    if (!(level > 0.0f)) return "-inf dBFS (silent)";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(level));
    return text;
}

void describeFile(std::ostream& out, const std::string& name, const MidiFile& file,
                  const Score& score, int32_t rate) {
    std::string timing;
    if (file.ticksPerQuarter > 0) {
        timing = std::to_string(file.ticksPerQuarter) + " ticks a quarter note";
    } else {
        timing = "SMPTE time, " +
                 std::string(file.smpteFramesPerSecond == 29
                                 ? "29.97"
                                 : std::to_string(file.smpteFramesPerSecond)) +
                 " frames a second of " + std::to_string(file.ticksPerFrame) + " ticks";
    }
    out << textf("%s: type %d, %zu track%s, %s\n", name.c_str(), file.type, file.tracks.size(),
                 file.tracks.size() == 1 ? "" : "s", timing.c_str());
    size_t tempoChanges = 0;
    double slowest = 0.0;
    double fastest = 0.0;
    for (size_t t = 0; t < file.tracks.size(); ++t) {
        const MidiTrack& track = file.tracks[t];
        uint16_t channels = 0;
        for (const TrackEvent& event : track.events)
            channels |= static_cast<uint16_t>(1u << (event.bytes[0] & 0x0F));
        const bool several = (channels & (channels - 1)) != 0;
        out << textf(
            "  track %zu%s: %zu events%s%s%s\n", t + 1,
            track.name.empty() ? "" : (" '" + track.name + "'").c_str(), track.events.size(),
            channels ? (several ? " on channels " : " on channel ") : "",
            channels ? channelList(channels).c_str() : "", track.hasEnd ? "" : ", no End of Track");
        for (const TimingEvent& change : track.timing) {
            if (!change.microsecondsPerQuarter) continue;
            const double bpm = 60e6 / change.microsecondsPerQuarter;
            slowest = tempoChanges ? std::min(slowest, bpm) : bpm;
            fastest = tempoChanges ? std::max(fastest, bpm) : bpm;
            ++tempoChanges;
        }
    }
    if (tempoChanges == 0) {
        out << textf("  no tempo event: 120 bpm\n");
    } else {
        out << textf("  %zu tempo event%s: %.4g", tempoChanges, tempoChanges == 1 ? "" : "s",
                     slowest);
        if (fastest != slowest) out << textf(" to %.4g", fastest);
        out << textf(" bpm\n");
    }
    for (const std::string& chunk : file.skippedChunks)
        out << textf("  chunk '%s' skipped\n", chunk.c_str());
    size_t inFile = 0;
    for (const MidiTrack& track : file.tracks)
        inFile += track.events.size();
    out << textf("  %zu of %zu channel events chosen; the last at %s, the tracks end at %s\n",
                 score.events.size(), inFile,
                 formatDuration(static_cast<double>(score.endFrame) / rate).c_str(),
                 formatDuration(static_cast<double>(score.fileEndFrame) / rate).c_str());
}

void describeEnd(std::ostream& out, const RenderResult& result, const Options& options,
                 double seconds) {
    const char* why = "the tail fell silent for a quarter of a second";
    if (result.end == RenderEnd::Length) why = "it reached --length";
    if (result.end == RenderEnd::TailLimit) why = "the tail reached --tail";
    out << textf("  %zu events sent; the render ended at %s: %s\n", result.eventsSent,
                 formatDuration(static_cast<double>(result.frames) / options.sampleRate).c_str(),
                 why);
    out << textf("  the plug-in's processing took %.4f s of the render's %.4f s\n",
                 result.processSeconds, seconds);
}

} // namespace quillo::render
