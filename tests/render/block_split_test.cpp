// Renders that do not depend on the block size: split at every event, the same
// events give the same audio at blocks of 1, 64, 512 and 8192 frames.
#include "hosting/midi_event_list.h"
#include "hosting/plugin_instance.h"
#include "hosting/process_buffers.h"
#include "render/renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace quillo;
using namespace quillo::render;

namespace {

constexpr int32_t kBlockSizes[] = {1, 64, 512, 8192};

TimedMidiEvent midi(int64_t frame, uint8_t status, uint8_t data1, uint8_t data2) {
    return {frame, {status, data1, data2}, 3};
}

// Fresh notes, legato notes, releases, a controller and a pitch bend, none on a
// block boundary.
Score phrase() {
    Score score;
    score.events = {midi(100, 0x90, 60, 100), midi(5003, 0x90, 64, 90), midi(7777, 0x80, 60, 0),
                    midi(9001, 0xB0, 1, 64),  midi(12345, 0x80, 64, 0), midi(12346, 0x90, 67, 80),
                    midi(13001, 0xE0, 0, 80), midi(20011, 0x90, 67, 0), midi(20400, 0x90, 48, 70),
                    midi(26999, 0x80, 48, 0)};
    score.endFrame = 30000;
    return score;
}

std::vector<float> renderLeft(InstrumentLibrary& library, int32_t blockSize,
                              BlockMode mode = BlockMode::SplitAtEvents) {
    RenderSettings settings;
    settings.blockSize = blockSize;
    settings.blocks = mode;
    settings.tailSeconds = 0;
    auto instrument = library.instantiate(settings.sampleRate, blockSize);
    instrument->start();
    std::vector<float> left;
    renderScore(*instrument, phrase(), {}, settings,
                [&left](const float* samples, const float*, int32_t frames) {
                    left.insert(left.end(), samples, samples + frames);
                });
    return left;
}

} // namespace

// The probe variant acts on every event at the start of the block it arrives
// with, and keeps no other state tied to blocks.
TEST(BlockSplitting, EventsActAtTheirFramesWhateverTheBlockSize) {
    const auto library = InstrumentLibrary::open(PROBE_DIR "/probe_block_start.so");
    const std::vector<float> reference = renderLeft(*library, kBlockSizes[0]);
    ASSERT_EQ(reference.size(), 30000u);
    EXPECT_EQ(reference[99], 0.0f);
    EXPECT_EQ(reference[100], 0.5f);
    for (int32_t blockSize : kBlockSizes) {
        EXPECT_EQ(renderLeft(*library, blockSize), reference) << "blocks of " << blockSize;
    }
    // On a fixed grid the same events act at the grid's block starts.
    EXPECT_NE(renderLeft(*library, 512, BlockMode::FixedGrid), reference);
}

// A third-party instrument: amsynth keeps no state tied to blocks from 64 frames
// up (below that its own output changes with the block size). Nekobi cannot
// serve here: it updates its voice once per processing call.
TEST(BlockSplitting, AmsynthRendersTheSameAtEveryBlockSizeFrom64Frames) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "amsynth leaks at exit, which the leak checker would blame on this test";
#endif
    const std::string amsynth = "/usr/lib/vst/amsynth_vst.so";
    if (!std::filesystem::exists(amsynth)) GTEST_SKIP() << amsynth << " is not installed";
    const auto library = InstrumentLibrary::open(amsynth);
    const std::vector<float> reference = renderLeft(*library, 64);
    float peak = 0.0f;
    for (float sample : reference)
        peak = std::max(peak, std::fabs(sample));
    EXPECT_GT(peak, 0.01f);
    for (int32_t blockSize : {512, 8192})
        EXPECT_EQ(renderLeft(*library, blockSize), reference) << "blocks of " << blockSize;
}

// Quillo acts on a fresh note at its frame but on every other event at the start
// of the block it arrives with: split at every event, each one starts a block.
// What the renderer sends is what a host sending each event at the start of its
// own block sends, at any block size.
TEST(BlockSplitting, QuilloGetsEachEventAtTheStartOfItsOwnBlock) {
    const auto library = InstrumentLibrary::open(QUILLO_PLUGIN);
    const Score score = phrase();
    for (int32_t blockSize : kBlockSizes) {
        hosting::HostSettings settings;
        settings.blockSize = blockSize;
        auto plugin =
            hosting::PluginInstance::create(hosting::PluginLibrary::open(QUILLO_PLUGIN), settings);
        plugin->open();
        plugin->setSampleRate(settings.sampleRate);
        plugin->setBlockSize(blockSize);
        plugin->resume();
        hosting::MidiEventList list(16);
        hosting::ProcessBuffers buffers(0, 2, blockSize);
        std::vector<float> byHand;
        size_t next = 0;
        for (int64_t frame = 0; frame < score.endFrame;) {
            list.clear();
            for (; next < score.events.size() && score.events[next].frame == frame; ++next)
                list.add(0, score.events[next].bytes, score.events[next].length);
            if (!list.empty()) plugin->processEvents(list.vstEvents());
            int64_t end = std::min<int64_t>(frame + blockSize, score.endFrame);
            if (next < score.events.size()) end = std::min(end, score.events[next].frame);
            const auto frames = static_cast<int32_t>(end - frame);
            plugin->processReplacing(buffers.inputs(), buffers.outputs(), frames);
            byHand.insert(byHand.end(), buffers.output(0), buffers.output(0) + frames);
            frame = end;
        }
        EXPECT_EQ(renderLeft(*library, blockSize), byHand) << "blocks of " << blockSize;
    }
}
