#include "render/renderer.h"

#include "hosting/midi_event_list.h"
#include "hosting/process_buffers.h"
#include "render/render_error.h"

#include <algorithm>
#include <cmath>

namespace quillo::render {

using hosting::MidiEventList;
using hosting::PluginInstance;
using hosting::ProcessBuffers;

std::vector<ResolvedChange> resolveParameters(PluginInstance& plugin, const Score& score,
                                              bool skipUnknown) {
    std::vector<ResolvedChange> resolved;
    for (const ParameterChange& change : score.parameters) {
        const int32_t index = plugin.findParam(change.name);
        if (index < 0) {
            if (skipUnknown) continue;
            throw RenderError("unknown parameter '" + change.name + "'");
        }
        resolved.push_back({change.frame, index, change.value});
    }
    return resolved;
}

namespace {

// Hands the block's events to the list, splitting the block where it holds
// more than the list can take. Returns the block's end frame.
int64_t collectEvents(const std::vector<TimedMidiEvent>& events, size_t& next, int64_t frame,
                      int64_t blockEnd, MidiEventList& list) {
    size_t last = next;
    while (last < events.size() && events[last].frame < blockEnd)
        ++last;
    if (last - next > list.capacity()) {
        // End the block at the first event that does not fit; when they all share
        // the first frame, the rest follow one frame later.
        blockEnd = std::max(events[next + list.capacity()].frame, frame + 1);
    }
    list.clear();
    while (next < events.size() && events[next].frame < blockEnd && !list.full()) {
        const TimedMidiEvent& event = events[next++];
        const auto delta = static_cast<int32_t>(std::max<int64_t>(event.frame - frame, 0));
        list.add(delta, event.bytes, event.length);
    }
    return blockEnd;
}

} // namespace

RenderResult renderScore(PluginInstance& plugin, const Score& score,
                         const std::vector<ResolvedChange>& changes, const RenderSettings& settings,
                         const AudioSink& sink, const ProgressListener& progress) {
    ProcessBuffers buffers(plugin.numInputs(), plugin.numOutputs(), settings.blockSize);
    MidiEventList list(settings.eventCapacity);
    const double rate = settings.sampleRate;
    const int64_t end = score.endFrame;
    const int64_t tailLimit = end + frameAt(settings.tailSeconds, rate);
    const int64_t silenceNeeded = frameAt(settings.silenceSeconds, rate);

    RenderResult result;
    int64_t frame = 0;
    int64_t lastAudible = -1; // last frame above the silence level
    size_t nextEvent = 0;
    size_t nextChange = 0;
    // The tail stops once the output has been silent long enough.
    auto stopFrame = [&] {
        return std::min(tailLimit, std::max(end, lastAudible + 1 + silenceNeeded));
    };

    while (frame < (frame < end ? end : stopFrame())) {
        while (nextChange < changes.size() && changes[nextChange].frame <= frame) {
            plugin.setParam(changes[nextChange].index, changes[nextChange].value);
            ++nextChange;
        }
        int64_t blockEnd = std::min(frame + settings.blockSize, frame < end ? end : stopFrame());
        if (nextChange < changes.size()) blockEnd = std::min(blockEnd, changes[nextChange].frame);
        blockEnd = collectEvents(score.events, nextEvent, frame, blockEnd, list);
        const auto frames = static_cast<int32_t>(blockEnd - frame);

        const double seconds = static_cast<double>(frame) / rate;
        const TempoSegment& tempo = score.tempo.segmentAt(seconds);
        plugin.host().setTransport({static_cast<double>(frame), score.tempo.beatsAt(seconds),
                                    tempo.beatsPerMinute, tempo.timeSigNumerator,
                                    tempo.timeSigDenominator, true});
        if (!list.empty()) plugin.processEvents(list.vstEvents());
        plugin.processReplacing(buffers.inputs(), buffers.outputs(), frames);

        const float* left = buffers.output(0);
        const float* right = buffers.numOutputs() > 1 ? buffers.output(1) : left;
        for (int32_t i = 0; i < frames; ++i) {
            const float level = std::max(std::fabs(left[i]), std::fabs(right[i]));
            result.peak = std::max(result.peak, level);
            if (level > kSilenceLevel) lastAudible = frame + i;
        }
        // A tail block may reach past the point where the silence became long enough.
        const int64_t kept = frame >= end ? std::min<int64_t>(frames, stopFrame() - frame) : frames;
        sink(left, right, static_cast<int32_t>(kept));
        frame += kept;
        if (progress) progress(frame, end);
    }
    result.frames = frame;
    return result;
}

} // namespace quillo::render
