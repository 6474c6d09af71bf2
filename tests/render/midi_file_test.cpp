// MIDI files to frames: tempo changes, merged tracks, running status, and the
// files that must be refused.
#include "render/midi_file.h"
#include "render/render_error.h"
#include "tests/render/midi_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillo::render;
using namespace midi_bytes;

namespace {

std::vector<int64_t> framesOf(const Score& score) {
    std::vector<int64_t> frames;
    for (const TimedMidiEvent& event : score.events)
        frames.push_back(event.frame);
    return frames;
}

std::string errorOf(const Bytes& bytes) {
    try {
        parseMidiFile(bytes, 44100);
    } catch (const RenderError& error) {
        return error.what();
    }
    return "";
}

} // namespace

TEST(MidiFile, PlacesEventsThroughTempoChangesWithRunningStatus) {
    // 480 ticks a quarter; 120 bpm, then 60 bpm from tick 960.
    const Bytes bytes = file(0, 480,
                             {track({tempo(0, 500000),
                                     {480, {0x90, 60, 100}}, // 0.5 s
                                     {240, {60, 0}},         // running status, 0.75 s
                                     tempo(240, 1000000),    // tick 960, 1.0 s
                                     {480, {0x80, 62, 0}}},  // 1.0 s + one quarter at 60 bpm
                                    480)});                  // end: 3.0 s
    const Score score = parseMidiFile(bytes, 44100);
    EXPECT_EQ(framesOf(score), (std::vector<int64_t>{22050, 33075, 88200}));
    EXPECT_EQ(score.events[1].bytes[0], 0x90);
    EXPECT_EQ(score.events[1].bytes[1], 60);
    EXPECT_EQ(score.events[1].bytes[2], 0);
    EXPECT_EQ(score.endFrame, 132300);

    EXPECT_EQ(framesOf(parseMidiFile(bytes, 48000)), (std::vector<int64_t>{24000, 36000, 96000}));
    EXPECT_DOUBLE_EQ(score.tempo.segmentAt(0.9).beatsPerMinute, 120.0);
    EXPECT_DOUBLE_EQ(score.tempo.segmentAt(1.5).beatsPerMinute, 60.0);
    EXPECT_DOUBLE_EQ(score.tempo.beatsAt(1.5), 2.5);
}

TEST(MidiFile, MergesTheTracksOfType1AndKeepsEveryChannelMessage) {
    const Bytes bytes =
        file(1, 480,
             {track({tempo(0, 500000), tempo(960, 250000)}), // 120 bpm, 240 bpm from 1.0 s
              track({{0, {0x90, 60, 100}},
                     {0, {0xFF, 0x01, 0x03, 'h', 'e', 'y'}}, // text: not passed on
                     {960, {0x80, 60, 64}},                  // 1.0 s
                     {480, {0xD0, 33}}}),                    // channel pressure, 1.25 s
              track({{480, {0xB1, 74, 90}},                  // 0.5 s
                     {0, {0xF0, 0x02, 0x7E, 0xF7}},          // system exclusive: not passed on
                     {720, {0xC1, 5}},                       // program change, 1.125 s
                     {0, {0xA1, 60, 10}},                    // poly aftertouch
                     {240, {0xE1, 0x00, 0x50}}})});          // pitch bend, 1.25 s
    const Score score = parseMidiFile(bytes, 44100);

    ASSERT_EQ(framesOf(score), (std::vector<int64_t>{0, 22050, 44100, 49613, 49613, 55125, 55125}));
    const std::vector<uint8_t> statuses = {0x90, 0xB1, 0x80, 0xC1, 0xA1, 0xD0, 0xE1};
    for (size_t i = 0; i < statuses.size(); ++i) {
        EXPECT_EQ(score.events[i].bytes[0], statuses[i]) << "event " << i;
    }
    EXPECT_EQ(score.events[3].length, 2); // program change: two bytes
    EXPECT_EQ(score.events[3].bytes[1], 5);
    EXPECT_EQ(score.events[6].length, 3);
    EXPECT_EQ(score.events[6].bytes[2], 0x50);
    EXPECT_DOUBLE_EQ(score.tempo.beatsAt(1.25), 3.0);
}

TEST(MidiFile, RefusesWhatIsNotAWellFormedType0Or1File) {
    EXPECT_EQ(errorOf({'h', 'e', 'l', 'l', 'o'}), "not a Standard MIDI File");
    EXPECT_EQ(errorOf({}), "not a Standard MIDI File");

    const Bytes good = file(0, 480, {track({{0, {0x90, 60, 100}}, {480, {0x80, 60, 0}}})});
    EXPECT_EQ(errorOf(good), "");
    // Cut inside the track.
    const Bytes truncated(good.begin(), good.end() - 5);
    EXPECT_EQ(errorOf(truncated).rfind("malformed MIDI file", 0), 0u) << errorOf(truncated);
    // The header promises a second track that is not there.
    Bytes missingTrack = good;
    missingTrack[11] = 2;
    EXPECT_EQ(errorOf(missingTrack).rfind("malformed MIDI file", 0), 0u);
    // A track without End of Track: the reading library aborts on it, the
    // process must survive and say so.
    Bytes noEnd = good;
    noEnd[noEnd.size() - 2] = 0x75;
    EXPECT_EQ(errorOf(noEnd).rfind("malformed MIDI file", 0), 0u);

    const Bytes type2 = file(2, 480, {track({{0, {0x90, 60, 100}}})});
    EXPECT_EQ(errorOf(type2), "MIDI file of type 2: only types 0 and 1 can be rendered");
}

TEST(MidiFile, NamesTheFileThatCannotBeRead) {
    const std::string missing = "/nonexistent/song.mid";
    try {
        loadMidiFile(missing, 44100);
        FAIL() << "no error";
    } catch (const RenderError& error) {
        EXPECT_EQ(std::string(error.what()), missing + ": No such file or directory");
    }
    const std::string directory = std::filesystem::temp_directory_path().string();
    try {
        loadMidiFile(directory, 44100);
        FAIL() << "no error";
    } catch (const RenderError& error) {
        EXPECT_EQ(std::string(error.what()), directory + ": is a directory");
    }
}
