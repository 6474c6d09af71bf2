#include "render/score.h"

#include <cmath>

namespace quillo::render {

TempoMap::TempoMap(std::vector<TempoSegment> segments) : segments_(std::move(segments)) {
    if (segments_.empty()) segments_.push_back(TempoSegment{});
}

const TempoSegment& TempoMap::segmentAt(double seconds) const {
    size_t i = 0;
    while (i + 1 < segments_.size() && segments_[i + 1].startSeconds <= seconds)
        ++i;
    return segments_[i];
}

double TempoMap::beatsAt(double seconds) const {
    const TempoSegment& segment = segmentAt(seconds);
    return segment.startBeats + (seconds - segment.startSeconds) * segment.beatsPerMinute / 60.0;
}

double TempoMap::secondsAt(double beats) const {
    size_t i = 0;
    while (i + 1 < segments_.size() && segments_[i + 1].startBeats <= beats)
        ++i;
    const TempoSegment& segment = segments_[i];
    return segment.startSeconds + (beats - segment.startBeats) * 60.0 / segment.beatsPerMinute;
}

int64_t frameAt(double seconds, double sampleRate) {
    return std::llround(seconds * sampleRate);
}

} // namespace quillo::render
