// The render loop against the probe plug-in: every event at its frame, block
// sizes, parameter changes, the transport, the tail, and mono plug-ins.
#include "render/renderer.h"
#include "render/vst2_instrument.h"
#include "tests/hosting/probe.h"

#include <gtest/gtest.h>

using namespace quillo::render;

namespace {

TimedMidiEvent midi(int64_t frame, uint8_t status, uint8_t key, uint8_t velocity) {
    TimedMidiEvent event;
    event.frame = frame;
    event.bytes[0] = status;
    event.bytes[1] = key;
    event.bytes[2] = velocity;
    event.length = 3;
    return event;
}

struct Rendered {
    RenderResult result;
    std::vector<float> left;
    std::vector<float> right;
};

// Renders through the probe; the probe's log stays readable afterwards, and so
// does the instrument, which probe.instrument keeps.
struct Probe {
    std::unique_ptr<Vst2Instrument> instrument;
    ProbeLog* log;
};

Probe makeProbe(const std::string& variant = "synth", RenderSettings settings = {},
                size_t eventCapacity = 1024) {
    LoadedProbe probe = loadProbe(variant);
    return {std::make_unique<Vst2Instrument>(std::move(probe.plugin), settings.sampleRate,
                                             settings.blockSize, eventCapacity),
            probe.log};
}

Rendered render(Probe& probe, const Score& score, RenderSettings settings,
                std::vector<ResolvedChange> changes = {}) {
    probe.instrument->start();
    Rendered out;
    out.result = renderScore(*probe.instrument, score, changes, settings,
                             [&out](const float* left, const float* right, int32_t frames) {
                                 out.left.insert(out.left.end(), left, left + frames);
                                 out.right.insert(out.right.end(), right, right + frames);
                             });
    return out;
}

Score noteScore(int64_t on, int64_t off) {
    Score score;
    score.events = {midi(on, 0x90, 60, 100), midi(off, 0x80, 60, 0)};
    score.endFrame = off;
    return score;
}

} // namespace

TEST(Renderer, SendsEachEventAtItsFrameInBlocksSplitAtEventsOrOnAFixedGrid) {
    for (BlockMode mode : {BlockMode::SplitAtEvents, BlockMode::FixedGrid}) {
        SCOPED_TRACE(mode == BlockMode::FixedGrid ? "fixed grid" : "split at events");
        Probe probe = makeProbe();
        Score score;
        for (int64_t frame : {0, 511, 512, 1000, 1000, 1023, 5000}) {
            score.events.push_back(midi(frame, 0xB0, 1, static_cast<uint8_t>(frame % 128)));
        }
        score.endFrame = 6000;
        TempoSegment tempo;
        tempo.beatsPerMinute = 90;
        score.tempo = TempoMap({tempo});
        RenderSettings settings;
        settings.tailSeconds = 0;
        settings.blocks = mode;
        const Rendered out = render(probe, score, settings);
        EXPECT_EQ(out.result.frames, 6000);

        const ProbeLog& log = *probe.log;
        ASSERT_EQ(log.events.size(), score.events.size());
        for (size_t i = 0; i < score.events.size(); ++i) {
            EXPECT_EQ(log.events[i].frame, score.events[i].frame);
            EXPECT_EQ(log.events[i].bytes[2], score.events[i].bytes[2]);
            // Split blocks start at the events; a fixed grid carries them inside.
            if (mode == BlockMode::SplitAtEvents) {
                EXPECT_EQ(log.events[i].deltaFrames, 0);
            }
        }
        int64_t start = 0;
        for (size_t block = 0; block < log.blockFrames.size(); ++block) {
            EXPECT_LE(log.blockFrames[block], 512);
            if (mode == BlockMode::FixedGrid) {
                EXPECT_EQ(start % 512, 0);
            }
            EXPECT_DOUBLE_EQ(log.blockTimes[block].samplePos, static_cast<double>(start));
            EXPECT_DOUBLE_EQ(log.blockTimes[block].ppqPos, start / 44100.0 * 1.5);
            start += log.blockFrames[block];
        }
        EXPECT_DOUBLE_EQ(log.blockTimes[0].tempo, 90.0);
        EXPECT_DOUBLE_EQ(log.blockTimes[0].sampleRate, 44100.0);
        EXPECT_TRUE(log.blockTimes[0].flags & kVstTempoValid);
        EXPECT_TRUE(log.blockTimes[0].flags & kVstTransportPlaying);
        // Every processEvents comes right before the processReplacing of its block.
        for (size_t i = 0; i < log.calls.size(); ++i) {
            if (log.calls[i] == effProcessEvents) {
                ASSERT_LT(i + 1, log.calls.size());
                EXPECT_EQ(log.calls[i + 1], kProbeProcessCall);
            }
        }
    }
}

TEST(Renderer, SplitsBlocksAtParameterChangesAndWhenTheEventListIsFull) {
    RenderSettings settings;
    settings.tailSeconds = 0;
    Probe probe = makeProbe("synth", settings, 4);
    Score score;
    for (int64_t frame = 100; frame < 110; ++frame)
        score.events.push_back(midi(frame, 0xB0, 7, 1));
    // More at one frame than the list takes: the rest follow a frame later.
    for (int i = 0; i < 6; ++i)
        score.events.push_back(midi(1000, 0xB0, 7, 2));
    score.endFrame = 2000;
    render(probe, score, settings, {{700, 0, 0.25f}, {1300, 0, 0.75f}});

    const ProbeLog& log = *probe.log;
    ASSERT_EQ(log.events.size(), 16u);
    for (int64_t i = 0; i < 10; ++i)
        EXPECT_EQ(log.events[i].frame, 100 + i);
    for (int64_t i = 10; i < 16; ++i)
        EXPECT_EQ(log.events[i].frame, i < 14 ? 1000 : 1001);
    EXPECT_EQ(log.levelChanges, (std::vector<int64_t>{700, 1300}));
    EXPECT_FLOAT_EQ(probe.instrument->param(0), 0.75f);
}

TEST(Renderer, TheTailEndsAfterAQuarterSecondOfSilenceOrAtItsLimit) {
    RenderSettings settings; // 44100 Hz, tail up to 5 s
    const int64_t silence = 11025;
    {
        Probe probe = makeProbe();
        const Rendered out = render(probe, noteScore(300, 1000), settings);
        EXPECT_EQ(out.result.frames, 1000 + silence);
        EXPECT_EQ(out.left[299], 0.0f);
        EXPECT_EQ(out.left[300], 0.5f);
        EXPECT_EQ(out.left[999], 0.5f);
        EXPECT_EQ(out.left[1000], 0.0f);
        EXPECT_EQ(out.right[500], -0.5f);
        EXPECT_FLOAT_EQ(out.result.peak, 0.5f);
    }
    {
        Probe probe = makeProbe();
        probe.instrument->setParam(1, 0.1f); // rings 1 s after the note-off
        const Rendered out = render(probe, noteScore(300, 1000), settings);
        EXPECT_EQ(out.result.frames, 1000 + 44100 + silence);
        EXPECT_EQ(out.left[1000 + 44099], 0.5f);
        EXPECT_EQ(out.left[1000 + 44100], 0.0f);
    }
    {
        Probe probe = makeProbe();
        probe.instrument->setParam(1, 1.0f); // rings 10 s: longer than the tail
        const Rendered out = render(probe, noteScore(300, 1000), settings);
        EXPECT_EQ(out.result.frames, 1000 + 5 * 44100);
    }
    {
        Probe probe = makeProbe();
        settings.tailSeconds = 0;
        // Without a tail the render still covers the frame of the last event.
        EXPECT_EQ(render(probe, noteScore(300, 1000), settings).result.frames, 1001);
    }
}

TEST(Renderer, SendsTheEventsOnTheLastFrameWhenTheOutputIsAlreadyQuiet) {
    RenderSettings settings;
    Probe probe = makeProbe();
    Score score;
    score.events = {midi(1000, 0x90, 60, 100)};
    score.endFrame = 1000;
    const Rendered out = render(probe, score, settings);
    ASSERT_EQ(probe.log->events.size(), 1u);
    EXPECT_EQ(out.left[1000], 0.5f);
    EXPECT_EQ(out.result.frames, 1000 + 5 * 44100); // it sounds on to the tail's limit
}

TEST(Renderer, DuplicatesAMonoOutputAndFeedsSilentInputs) {
    RenderSettings settings;
    settings.tailSeconds = 0;
    Probe mono = makeProbe("mono");
    const Rendered out = render(mono, noteScore(10, 100), settings);
    EXPECT_EQ(out.left, out.right);
    EXPECT_EQ(out.left[50], 0.5f);

    Probe withInputs = makeProbe("inputs");
    EXPECT_EQ(render(withInputs, noteScore(10, 100), settings).result.frames, 101);
    EXPECT_TRUE(withInputs.log->inputsWereSilent);
}
