#include "render/renderer.h"

#include "hosting/user_error.h"
#include "render/peak.h"

#include <algorithm>
#include <cmath>

namespace quillo::render {

std::vector<ResolvedChange> resolveParameters(Instrument& instrument, const Score& score,
                                              bool skipUnknown) {
    std::vector<ResolvedChange> resolved;
    for (const ParameterChange& change : score.parameters) {
        const int32_t index = findParam(instrument, change.name);
        if (index < 0) {
            if (skipUnknown) continue;
            throw UserError("unknown parameter '" + change.name + "'");
        }
        resolved.push_back({change.frame, index, change.value});
    }
    return resolved;
}

namespace {

// Ends the block early where it holds more events than the instrument takes at
// once: at the first event that does not fit; when they all share the block's
// first frame, the rest follow one frame later.
int64_t fitEvents(const std::vector<TimedMidiEvent>& events, size_t next, int64_t frame,
                  int64_t blockEnd, size_t capacity) {
    size_t last = next;
    while (last < events.size() && events[last].frame < blockEnd && last - next <= capacity)
        ++last;
    if (last - next > capacity) blockEnd = std::max(events[next + capacity].frame, frame + 1);
    return blockEnd;
}

} // namespace

RenderResult renderScore(Instrument& instrument, const Score& score,
                         const std::vector<ResolvedChange>& changes, const RenderSettings& settings,
                         const AudioSink& sink, const ProgressListener& progress,
                         const BlockLender& lend) {
    const int32_t outputs = instrument.numOutputs();
    std::vector<float> samples(static_cast<size_t>(outputs) * settings.blockSize);
    std::vector<float*> buffers;
    for (int32_t i = 0; i < outputs; ++i)
        buffers.push_back(samples.data() + static_cast<size_t>(i) * settings.blockSize);
    const double rate = settings.sampleRate;
    const std::optional<int64_t> length = settings.lengthFrames;
    const int64_t end = length ? *length : score.endFrame;
    const int64_t tailLimit = end + frameAt(settings.tailSeconds, rate);
    const int64_t silenceNeeded = frameAt(settings.silenceSeconds, rate);
    const std::vector<TimedMidiEvent>& events = score.events;
    // A set length sends only the events before it.
    const size_t eventCount =
        length ? static_cast<size_t>(std::lower_bound(events.begin(), events.end(), *length,
                                                      [](const TimedMidiEvent& e, int64_t f) {
                                                          return e.frame < f;
                                                      }) -
                                     events.begin())
               : events.size();

    RenderResult result;
    std::chrono::steady_clock::duration processTime{};
    int64_t frame = 0;
    int64_t lastAudible = -1; // last frame above the silence level
    int64_t lastEventFrame = -1;
    size_t nextEvent = 0;
    size_t nextChange = 0;
    // The tail stops once the output has been silent long enough.
    auto stopFrame = [&] {
        if (length) return *length;
        return std::min(tailLimit, std::max(end, lastAudible + 1 + silenceNeeded));
    };
    // The music lasts until its end and until every event has been sent: an event
    // on the end frame itself still plays when the output is quiet by then.
    auto inMusic = [&] { return frame < end || nextEvent < eventCount; };

    while (inMusic() || frame < stopFrame()) {
        while (nextChange < changes.size() && changes[nextChange].frame <= frame) {
            instrument.setParam(changes[nextChange].index, changes[nextChange].value);
            ++nextChange;
        }
        int64_t blockEnd = frame + settings.blockSize;
        if (settings.blocks == BlockMode::SplitAtEvents) {
            // Up to the end of the music, then on through the tail.
            blockEnd = std::min(blockEnd, frame < end ? end : inMusic() ? frame + 1 : stopFrame());
            if (nextChange < changes.size()) {
                blockEnd = std::min(blockEnd, changes[nextChange].frame);
            }
            // The events of this frame go with this block; the next one starts the next.
            size_t after = nextEvent;
            while (after < eventCount && events[after].frame <= frame)
                ++after;
            if (after < eventCount) blockEnd = std::min(blockEnd, events[after].frame);
        }
        if (length) blockEnd = std::min(blockEnd, *length);
        const size_t capacity = instrument.maxEventsPerBlock();
        blockEnd = fitEvents(events, nextEvent, frame, blockEnd, capacity);
        const auto frames = static_cast<int32_t>(blockEnd - frame);
        // Events of one frame beyond what the instrument takes wait for the next block.
        size_t blockEvents = 0;
        while (nextEvent + blockEvents < eventCount && blockEvents < capacity &&
               events[nextEvent + blockEvents].frame < blockEnd)
            ++blockEvents;

        const double seconds = static_cast<double>(frame) / rate;
        const TempoSegment& tempo = score.tempo.segmentAt(seconds);
        const Transport transport{static_cast<double>(frame), score.tempo.beatsAt(seconds),
                                  tempo.beatsPerMinute,       tempo.timeSigNumerator,
                                  tempo.timeSigDenominator,   true};
        if (lend && outputs <= 2) {
            const auto [lentLeft, lentRight] = lend(frames);
            buffers[0] = lentLeft;
            if (outputs == 2) buffers[1] = lentRight;
        }
        const auto processStart = std::chrono::steady_clock::now();
        instrument.process(events.data() + nextEvent, blockEvents, frame, transport, buffers.data(),
                           frames);
        processTime += std::chrono::steady_clock::now() - processStart;
        nextEvent += blockEvents;

        const float* left = buffers[0];
        const float* right = outputs > 1 ? buffers[1] : left;
        // The peak over each channel; the last audible frame is then found from the
        // block's end, where it nearly always is.
        result.peak = peakOf(left, static_cast<size_t>(frames), result.peak);
        if (right != left) result.peak = peakOf(right, static_cast<size_t>(frames), result.peak);
        for (int32_t i = frames - 1; i >= 0; --i) {
            if (std::max(std::fabs(left[i]), std::fabs(right[i])) > kSilenceLevel) {
                lastAudible = frame + i;
                break;
            }
        }
        // A block may reach past the point where the silence became long enough;
        // the frames of the music and of every event sent are kept all the same.
        if (blockEvents > 0) lastEventFrame = events[nextEvent - 1].frame;
        const int64_t kept = std::min(blockEnd, std::max(stopFrame(), lastEventFrame + 1)) - frame;
        sink(left, right, static_cast<int32_t>(kept));
        frame += kept;
        if (progress) progress(frame, end);
    }
    result.frames = frame;
    result.eventsSent = nextEvent;
    result.processSeconds = std::chrono::duration<double>(processTime).count();
    if (length) {
        result.end = RenderEnd::Length;
    } else if (lastAudible + 1 + silenceNeeded > tailLimit && lastAudible >= end) {
        result.end = RenderEnd::TailLimit;
    }
    return result;
}

} // namespace quillo::render
