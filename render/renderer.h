// The render loop of quillo-render: feeds a Score to an instrument block by block,
// each event at its exact frame, and hands the stereo result to a sink until the
// music and its tail are over.
#pragma once

#include "render/instrument.h"
#include "render/score.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace quillo::render {

// How the render is cut into blocks.
enum class BlockMode {
    // A block ends where the next event or parameter change lies, so that each
    // acts at its own frame whatever the instrument does with events inside a
    // block; blockSize is the largest block.
    SplitAtEvents,
    // Blocks of exactly blockSize frames, events inside them at their offsets
    // and parameter changes at the first block start from their frame on, as a
    // DAW plays.
    FixedGrid,
};

struct RenderSettings {
    double sampleRate = 44100.0;
    int32_t blockSize = 512;
    BlockMode blocks = BlockMode::SplitAtEvents;
    // Longest time rendered after the end of the music.
    double tailSeconds = 5.0;
    // The tail ends once the output has stayed below the silence level this long.
    double silenceSeconds = 0.25;
    // Renders exactly this many frames instead, sending only the events before
    // the end.
    std::optional<int64_t> lengthFrames;
};

// Below -90 dBFS, half a step of 16-bit audio: silent for the tail's purposes.
constexpr float kSilenceLevel = 3.1622776e-5f;

// Why a render ended.
enum class RenderEnd {
    Silence,   // the tail fell silent
    TailLimit, // the tail reached its longest time while still sounding
    Length,    // the length was set
};

struct RenderResult {
    int64_t frames = 0;
    float peak = 0.0f; // largest absolute sample, both channels
    RenderEnd end = RenderEnd::Silence;
    size_t eventsSent = 0;
    // Time spent inside the instrument's process calls: what the render costs apart
    // from the renderer.
    double processSeconds = 0.0;
};

// Receives each block of stereo output as it is rendered.
using AudioSink = std::function<void(const float* left, const float* right, int32_t frames)>;
// Told after each block: frames rendered so far and where the music ends.
using ProgressListener = std::function<void(int64_t framesDone, int64_t endFrame)>;
// Where a sink that keeps the audio wants the next block: room for that many frames of
// left and of right. The renderer renders into it and hands the sink those very
// pointers, so the sink need copy nothing.
using BlockLender = std::function<std::pair<float*, float*>(int32_t frames)>;

// The score's parameter changes name parameters; resolve them first (see
// resolveParameters) so the names here are exact indices.
struct ResolvedChange {
    int64_t frame;
    int32_t index;
    float value;
};

// Looks every changed parameter up by name; names the plug-in does not have are
// dropped when skipUnknown is set, otherwise they throw UserError.
std::vector<ResolvedChange> resolveParameters(Instrument& instrument, const Score& score,
                                              bool skipUnknown);

// The instrument must be made for the settings' rate and block size, and started.
// lend is asked for each block's room when the instrument has one or two outputs.
RenderResult renderScore(Instrument& instrument, const Score& score,
                         const std::vector<ResolvedChange>& changes, const RenderSettings& settings,
                         const AudioSink& sink, const ProgressListener& progress = {},
                         const BlockLender& lend = {});

} // namespace quillo::render
