// Automation files through Quillo: a change lands on its frame exactly as a render
// split there by hand, ramps move every ramp_frames, and bad points are named.
#include "hosting/user_error.h"
#include "render/automation.h"
#include "render/vst2_instrument.h"

#include <gtest/gtest.h>

using namespace quillo::render;

namespace {

constexpr int64_t kFrames = 44100;

std::unique_ptr<Instrument> quilloInstance() {
    static std::unique_ptr<InstrumentLibrary> library = openVst2Library(QUILLO_PLUGIN);
    return library->instantiate(44100, 512);
}

Score heldNote() {
    Score score;
    TimedMidiEvent on;
    on.bytes[0] = 0x90;
    on.bytes[1] = 48;
    on.bytes[2] = 100;
    on.length = 3;
    score.events = {on};
    score.endFrame = kFrames;
    return score;
}

std::vector<float> render(const std::vector<ResolvedChange>& changes) {
    auto plugin = quilloInstance();
    RenderSettings settings;
    settings.lengthFrames = kFrames;
    std::vector<float> out;
    plugin->start();
    renderScore(*plugin, heldNote(), changes, settings,
                [&](const float* left, const float*, int32_t frames) {
                    out.insert(out.end(), left, left + frames);
                });
    return out;
}

std::vector<ResolvedChange> resolve(const std::string& text, const TempoMap& tempo = {}) {
    auto plugin = quilloInstance();
    return resolveAutomation(parseAutomation(text, "a.json"), *plugin, tempo, 44100);
}

std::string refusal(const std::string& text) {
    try {
        resolve(text);
    } catch (const quillo::UserError& error) {
        return error.what();
    }
    return "accepted";
}

} // namespace

TEST(Automation, AChangeActsFromItsFrameOnAsInARenderSplitThereByHand) {
    constexpr int64_t kAt = 30011;
    const auto changes = resolve(R"({"parameters": {"Cutoff": [{"frame": 30011, "value": 0.2}]}})");
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].frame, kAt);
    const std::vector<float> automated = render(changes);

    // By hand: blocks up to the frame, the change, blocks from it.
    auto plugin = quilloInstance();
    plugin->start();
    std::vector<float> byHand(kFrames), right(512);
    const Score score = heldNote();
    for (int64_t frame = 0; frame < kFrames;) {
        if (frame == kAt) plugin->setParam(15, 0.2f);
        const int64_t end = std::min(frame + 512, frame < kAt ? kAt : kFrames);
        float* outputs[] = {byHand.data() + frame, right.data()};
        plugin->process(score.events.data(), frame == 0 ? 1 : 0, frame, Transport{}, outputs,
                        static_cast<int32_t>(end - frame));
        frame = end;
    }
    EXPECT_EQ(automated, byHand);

    const std::vector<float> plain = render({});
    ASSERT_EQ(plain.size(), automated.size());
    for (int64_t frame = 0; frame < kAt; ++frame)
        ASSERT_EQ(automated[frame], plain[frame]) << frame;
    EXPECT_NE(automated[kAt], plain[kAt]);
}

TEST(Automation, RampsMoveEveryRampFramesAndReachEachPointOnItsFrame) {
    TempoSegment slower;
    slower.startSeconds = 1.0;
    slower.startBeats = 2.0;
    slower.beatsPerMinute = 60.0;
    const auto changes = resolve(R"({"ramp_frames": 32, "parameters": {
        "Cutoff": [{"frame": 1000, "value": 0}, {"frame": 1100, "value": 1},
                   {"frame": 1200, "value": 0.5, "ramp": "step"}],
        "Reso": [{"beats": 3, "value": 0.5}]}})",
                                 TempoMap({TempoSegment{}, slower}));
    const std::vector<std::pair<int64_t, float>> expected = {
        {1000, 0.0f}, {1032, 0.32f}, {1064, 0.64f}, {1096, 0.96f},
        {1100, 1.0f}, {1200, 0.5f},  {88200, 0.5f}}; // beat 3: 1 s at 120 bpm, 1 s at 60
    ASSERT_EQ(changes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(changes[i].frame, expected[i].first) << i;
        EXPECT_FLOAT_EQ(changes[i].value, expected[i].second) << i;
    }
}

TEST(Automation, BadFilesAndPointsAreNamedByLineAndPoint) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"{\"parameters\": {\"Cutoff\": [{\"seconds\": 1 \"value\": 0}]}}",
         "a.json:1:42: expected ',' or '}'"},
        {"{\"parameters\": {\n\"Cutof\": [{\"seconds\": 0, \"value\": 0.1}]}}",
         "a.json:2: the plug-in has no parameter 'Cutof'"},
        {"{\"parameters\": {\"Cutoff\": [{\"seconds\": 1, \"value\": 0.1},\n"
         " {\"seconds\": 0.5, \"value\": 0.2}]}}",
         "a.json:2: Cutoff, point 2: at 0.5 s (frame 22050), before the point before it (frame "
         "44100)"},
        {"{\"parameters\": {\"Cutoff\": [{\"frame\": 1, \"value\": 1.5}]}}",
         "a.json:1: Cutoff, point 1: the value 1.5 is not from 0 to 1"},
        {"{\"parameters\": {\"Cutoff\": [{\"frame\": 1, \"beats\": 2, \"value\": 1}]}}",
         "Cutoff, point 1: give one time"},
        {"{\"parameters\": {\"Wave1\": [{\"frame\": 1, \"value\": \"Square\"}]}}",
         "Wave1, point 1: 'Wave1' never shows 'Square'"},
        {"{\"parameters\": {\"Cutoff\": [{\"frame\": 1, \"value\": 1, \"ramp\": \"cubic\"}]}}",
         "\"ramp\": \"linear\" or \"step\""},
    };
    for (const auto& [text, problem] : cases)
        EXPECT_NE(refusal(text).find(problem), std::string::npos) << refusal(text);
    EXPECT_THROW(readAutomation("/nonexistent/a.json"), quillo::UserError);
}
