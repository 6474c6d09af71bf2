// What quillo-render plays: MIDI channel messages and parameter changes, each at
// an exact frame, with the tempo map that places them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillo::render {

struct TimedMidiEvent {
    int64_t frame = 0;
    uint8_t bytes[3] = {};
    uint8_t length = 0;
};

struct ParameterChange {
    int64_t frame = 0;
    std::string name; // as the plug-in reports it, any case
    float value = 0.0f;
};

struct TempoSegment {
    double startSeconds = 0.0;
    double startBeats = 0.0; // quarter notes from the start
    double beatsPerMinute = 120.0;
    int32_t timeSigNumerator = 4;
    int32_t timeSigDenominator = 4;
};

// Tempo and time signature over time, for the transport a host reports.
class TempoMap {
  public:
    TempoMap() : segments_{TempoSegment{}} {}
    // Segments in time order; the first starts at 0 s.
    explicit TempoMap(std::vector<TempoSegment> segments);

    const TempoSegment& segmentAt(double seconds) const;
    double beatsAt(double seconds) const;
    // The time a number of quarter notes from the start falls on.
    double secondsAt(double beats) const;

  private:
    std::vector<TempoSegment> segments_;
};

struct Score {
    std::vector<TimedMidiEvent> events;      // sorted by frame
    std::vector<ParameterChange> parameters; // sorted by frame
    int64_t endFrame = 0;                    // where the music ends and the tail begins
    int64_t fileEndFrame = 0;                // where a MIDI file's tracks end, for reports
    TempoMap tempo;
};

// The frame nearest to a time.
int64_t frameAt(double seconds, double sampleRate);

} // namespace quillo::render
