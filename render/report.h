// What quillo-render tells on the terminal: durations and levels as text, the
// progress bar, and the descriptions -v prints.
#pragma once

#include "render/midi_file.h"
#include "render/options.h"
#include "render/renderer.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <sstream>
#include <string>

namespace quillo::render {

using Clock = std::chrono::steady_clock;

// "quillo-render: warning: ABOUT: TEXT".
void warn(std::ostream& out, const std::string& about, const std::string& text);

// printf into a string.
std::string textf(const char* format, ...) __attribute__((format(printf, 1, 2)));

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

// Where a job's texts go. A lone job prints as it goes; jobs side by side collect
// theirs, to be printed whole when each is done, so that lines never interleave.
class JobReport {
  public:
    explicit JobReport(bool collect);
    JobReport(const JobReport&) = delete;
    JobReport& operator=(const JobReport&) = delete;

    // Warnings and the texts of -v: stderr.
    std::ostream& messages() { return *messages_; }
    // The summary line: stdout, or stderr when the audio goes to standard output.
    std::ostream& summary(bool audioOnStdout) { return audioOnStdout ? *messages_ : *summary_; }

    bool collecting() const { return messages_ == &collectedMessages_; }
    // What was collected.
    std::string collectedMessages() const { return collectedMessages_.str(); }
    std::string collectedSummary() const { return collectedSummary_.str(); }

  private:
    std::ostringstream collectedMessages_, collectedSummary_;
    std::ostream* messages_;
    std::ostream* summary_;
};

// The terminal shared by jobs running side by side: whole texts printed under one
// lock, and, when wanted, a bar of the jobs done with an estimate of the time left,
// kept below them on stderr.
class Console {
  public:
    Console(size_t jobs, bool bar);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Prints a finished job's texts and counts it done.
    void jobDone(const JobReport& report);

  private:
    void clearBar();
    void drawBar();

    std::mutex mutex_;
    size_t jobs_;
    size_t done_ = 0;
    bool bar_;
    bool drawn_ = false;
    Clock::time_point started_ = Clock::now();
    Clock::time_point lastDraw_;
};

// "-10.1 dBFS", or "-inf dBFS (silent)".
std::string decibels(float level);

// -v: what the file holds and what of it is sent.
void describeFile(std::ostream& out, const std::string& name, const MidiFile& file,
                  const Score& score, int32_t rate);

// -v: why the render ended, and how long the plug-in's processing took of the
// render's seconds, from reading the MIDI file to the finished output.
void describeEnd(std::ostream& out, const RenderResult& result, const Options& options,
                 double seconds);

} // namespace quillo::render
