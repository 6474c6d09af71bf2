#include "render/score.h"

#include <algorithm>
#include <cmath>

namespace quillo::render {

TempoMap::TempoMap(std::vector<TempoSegment> segments) : segments_(std::move(segments)) {
    if (segments_.empty()) segments_.push_back(TempoSegment{});
}

// The last segment starting at or before the time: looked up for every block, so
// a file with thousands of tempo changes costs no more than a few steps.
const TempoSegment& TempoMap::segmentAt(double seconds) const {
    const auto after =
        std::upper_bound(segments_.begin() + 1, segments_.end(), seconds,
                         [](double time, const TempoSegment& s) { return time < s.startSeconds; });
    return *(after - 1);
}

double TempoMap::beatsAt(double seconds) const {
    const TempoSegment& segment = segmentAt(seconds);
    return segment.startBeats + (seconds - segment.startSeconds) * segment.beatsPerMinute / 60.0;
}

double TempoMap::secondsAt(double beats) const {
    const auto after =
        std::upper_bound(segments_.begin() + 1, segments_.end(), beats,
                         [](double at, const TempoSegment& s) { return at < s.startBeats; });
    const TempoSegment& segment = *(after - 1);
    return segment.startSeconds + (beats - segment.startBeats) * 60.0 / segment.beatsPerMinute;
}

int64_t frameAt(double seconds, double sampleRate) {
    return std::llround(seconds * sampleRate);
}

} // namespace quillo::render
