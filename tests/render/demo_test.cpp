// The demo phrase through Quillo: a fresh note restarts the voice from silence,
// so the note before it must have faded out by then, or the restart clicks.
#include "render/demo.h"
#include "render/renderer.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quillo::render;

TEST(Demo, EveryFreshNoteStartsAfterThePreviousOneHasFadedOut) {
    const Score score = demoScore(44100);
    const auto library = InstrumentLibrary::open(QUILLO_PLUGIN);
    auto quillo = library->instantiate(44100, 512);
    const std::vector<ResolvedChange> changes = resolveParameters(*quillo, score, false);
    quillo->start();
    std::vector<float> left;
    renderScore(*quillo, score, changes, {},
                [&left](const float* samples, const float*, int32_t frames) {
                    left.insert(left.end(), samples, samples + frames);
                });

    int held = 0;
    int freshNotes = 0;
    for (const TimedMidiEvent& event : score.events) {
        const bool on = (event.bytes[0] & 0xF0) == 0x90 && event.bytes[2] > 0;
        if (on && held == 0 && event.frame > 0) {
            ++freshNotes;
            float before = 0.0f;
            for (int64_t frame = event.frame - 32; frame < event.frame; ++frame)
                before = std::max(before, std::fabs(left[static_cast<size_t>(frame)]));
            EXPECT_LT(before, 1e-3f) << "the note at frame " << event.frame;
        }
        held += on ? 1 : -1;
    }
    EXPECT_GT(freshNotes, 20);
}
