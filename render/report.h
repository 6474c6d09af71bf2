// What quillo-render tells on the terminal: durations and levels as text, the
// progress bar, and the descriptions -v prints.
#pragma once

#include "render/midi_file.h"
#include "render/options.h"
#include "render/renderer.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace quillo::render {

using Clock = std::chrono::steady_clock;

// "quillo-render: warning: ABOUT: TEXT" on stderr.
void warn(const std::string& about, const std::string& text);

// "12.34 s", or "1:02.50" from a minute on.
std::string formatDuration(double seconds);

// A bar on stderr, redrawn at most ten times a second; the tail shows as a
// count of seconds, since its length is not known in advance.
class ProgressBar {
  public:
    explicit ProgressBar(double sampleRate) : sampleRate_(sampleRate) {}
    ~ProgressBar();

    void update(int64_t done, int64_t end);

  private:
    double sampleRate_;
    bool drawn_ = false;
    Clock::time_point lastDraw_;
};

// "-10.1 dBFS", or "-inf dBFS (silent)".
std::string decibels(float level);

// -v: what the file holds and what of it is sent.
void describeFile(const std::string& name, const MidiFile& file, const Score& score, int32_t rate);

// -v: why the render ended.
void describeEnd(const RenderResult& result, const Options& options);

} // namespace quillo::render
