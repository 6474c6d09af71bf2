// MIDI files to frames: tempo changes, merged tracks, running status, every
// variant the file standard asks readers to accept, and the files to refuse.
#include "hosting/user_error.h"
#include "render/midi_file.h"
#include "tests/render/midi_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillo::render;
using quillo::UserError;
using namespace midi_bytes;

namespace {

Score place(const Bytes& bytes, int32_t rate = 44100) {
    return placeEvents(parseMidiFile(bytes), rate);
}

std::vector<int64_t> framesOf(const Score& score) {
    std::vector<int64_t> frames;
    for (const TimedMidiEvent& event : score.events)
        frames.push_back(event.frame);
    return frames;
}

std::string errorOf(const Bytes& bytes) {
    try {
        parseMidiFile(bytes);
    } catch (const UserError& error) {
        return error.what();
    }
    return "";
}

Bytes chunk(const char* id, const Bytes& body) {
    Bytes out(id, id + 4);
    appendBig(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

const Bytes kNote = track({{0, {0x90, 60, 100}}, {480, {0x80, 60, 0}}});

} // namespace

TEST(MidiFile, PlacesEventsThroughTempoChangesWithRunningStatus) {
    // 480 ticks a quarter; 120 bpm, then 60 bpm from tick 960.
    const Bytes bytes = file(0, 480,
                             {track({tempo(0, 500000),
                                     {480, {0x90, 60, 100}},       // 0.5 s
                                     {240, {60, 0}},               // running status, 0.75 s
                                     tempo(240, 1000000),          // tick 960, 1.0 s
                                     {0, {0xFF, 0x01, 0x01, 'x'}}, // running status survives
                                     {480, {62, 0}}},              // 1.0 s + a quarter at 60 bpm
                                    480)});                        // end: 3.0 s
    const Score score = place(bytes);
    EXPECT_EQ(framesOf(score), (std::vector<int64_t>{22050, 33075, 88200}));
    EXPECT_EQ(score.events[1].bytes[0], 0x90);
    EXPECT_EQ(score.events[1].bytes[1], 60);
    EXPECT_EQ(score.events[1].bytes[2], 0);
    EXPECT_EQ(score.events[2].bytes[1], 62);
    EXPECT_EQ(score.endFrame, 88200); // the music ends with its last event
    EXPECT_EQ(score.fileEndFrame, 132300);

    EXPECT_EQ(framesOf(place(bytes, 48000)), (std::vector<int64_t>{24000, 36000, 96000}));
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
    const Score score = place(bytes);

    // At one time the earlier track comes first.
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

TEST(MidiFile, RoundsEachFrameExactlyHalfUp) {
    // 960 ticks a quarter at 120 bpm: a tick is 22.96875 frames at 44100 Hz, so
    // tick 16 lies at 367.5 frames and tick 8 at 183.75.
    const Bytes bytes = file(0, 960, {track({{8, {0x90, 60, 1}}, {8, {0x80, 60, 0}}})});
    EXPECT_EQ(framesOf(place(bytes)), (std::vector<int64_t>{184, 368}));

    // The committed phrase, where time summed in floating-point seconds fell a
    // hair short of a half frame and rounded down.
    const MidiFile phrase = readMidiFile(PHRASE_MIDI);
    EXPECT_EQ(placeEvents(phrase, 44100).events[47].frame, 400208); // tick 8712
    const Score low = placeEvents(phrase, 22050);
    EXPECT_EQ(low.events[31].frame, 128993); // tick 5616
    EXPECT_EQ(low.events[93].frame, 433283); // tick 18864
}

TEST(MidiFile, ReadsEveryVariantTheStandardAllows) {
    // Unknown chunks before, between and after the tracks are skipped.
    Bytes withChunks = file(1, 480, {});
    withChunks[11] = 2;
    for (const Bytes& part :
         {chunk("XFIH", {1, 2, 3}), kNote, chunk("XFKM", {}), kNote, chunk("junk", {0, 0})})
        withChunks.insert(withChunks.end(), part.begin(), part.end());
    MidiFile read = parseMidiFile(withChunks);
    EXPECT_EQ(read.tracks.size(), 2u);
    EXPECT_EQ(read.skippedChunks, (std::vector<std::string>{"XFIH", "XFKM", "junk"}));
    EXPECT_TRUE(read.warnings.empty());

    // Type 2: the tracks play one after another, each from 120 bpm with its own tempo.
    const Bytes type2 = file(2, 480,
                             {track({tempo(0, 1000000), {480, {0x90, 60, 100}}}, 480), // 2 s
                              track({{480, {0x90, 62, 100}}})});
    EXPECT_EQ(framesOf(place(type2)), (std::vector<int64_t>{44100, 88200 + 22050}));

    // SMPTE time: 25 frames a second of 40 ticks is a millisecond a tick; 29.97
    // drop-frame time code runs 1001/1000 slower than 30.
    const Bytes smpte25 = file(0, 0xE728, {track({tempo(0, 250000), {1500, {0x90, 60, 1}}})});
    EXPECT_EQ(framesOf(place(smpte25)), (std::vector<int64_t>{66150}));
    const Bytes smpte2997 = file(0, 0xE301, {track({{30, {0x90, 60, 1}}})}); // 1.001 s
    EXPECT_EQ(framesOf(place(smpte2997)), (std::vector<int64_t>{44144}));

    // A track without End of Track: a warning, and it ends with its last event.
    Bytes noEnd = file(0, 480, {kNote});
    noEnd.resize(noEnd.size() - 4);
    noEnd[21] -= 4;
    read = parseMidiFile(noEnd);
    EXPECT_EQ(read.warnings,
              (std::vector<std::string>{"track 1 has no End of Track event; it ends with its last "
                                        "event"}));
    EXPECT_EQ(framesOf(placeEvents(read, 44100)), (std::vector<int64_t>{0, 22050}));

    // A RIFF RMID file holds a Standard MIDI File in its data chunk.
    const Bytes smf = file(0, 480, {kNote});
    Bytes rmid = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'd', 'a', 't', 'a'};
    for (int i = 0; i < 4; ++i)
        rmid.push_back(static_cast<uint8_t>(smf.size() >> (8 * i)));
    rmid.insert(rmid.end(), smf.begin(), smf.end());
    EXPECT_EQ(framesOf(place(rmid)), (std::vector<int64_t>{0, 22050}));
}

TEST(MidiFile, RefusesWhatIsNotMidiWithOneClearLine) {
    EXPECT_EQ(errorOf({'h', 'e', 'l', 'l', 'o'}), "not a Standard MIDI File");
    EXPECT_EQ(errorOf({}), "not a Standard MIDI File");
    const Bytes good = file(0, 480, {kNote});
    EXPECT_EQ(errorOf(good), "");

    auto changed = [&good](size_t at, std::initializer_list<uint8_t> bytes) {
        Bytes out = good;
        std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<long>(at));
        return out;
    };
    const std::string bad = "malformed MIDI file: ";
    EXPECT_EQ(errorOf(changed(12, {0, 0})), bad + "time division 0");
    EXPECT_EQ(errorOf(changed(12, {0xE6, 4})),
              bad + "SMPTE time division of 26 frames a second (24, 25, 29 or 30)");
    EXPECT_EQ(errorOf(changed(8, {0, 3})), bad + "type 3 (types are 0, 1 and 2)");
    EXPECT_EQ(errorOf(changed(10, {0, 2})),
              bad + "the header announces 2 tracks, the file holds 1");
    EXPECT_EQ(errorOf(Bytes(good.begin(), good.end() - 5)),
              bad + "track 1 is cut short: the file ends inside it");
    // The track's bytes: 0 0x90 60 100, then 0x83 0x60 0x80 60 0, then 0 FF 2F 00.
    EXPECT_EQ(errorOf(changed(23, {60})),
              bad + "track 1: data byte 0x3C without a status byte at byte 23");
    EXPECT_EQ(errorOf(changed(23, {0xF4})),
              bad + "track 1: status byte 0xF4 is not allowed in a MIDI file at byte 23");
    EXPECT_EQ(errorOf(changed(25, {0x90})),
              bad + "track 1: status 0x90 is missing a data byte at byte 23");
    EXPECT_EQ(errorOf(changed(26, {0x83, 0x83, 0x83, 0x83})),
              bad + "track 1: a variable-length number longer than 4 bytes at byte 26");
    EXPECT_EQ(errorOf(changed(34, {5})),
              bad + "track 1: an event runs past the end of the track at byte 35");
}

TEST(MidiFile, NamesTheFileThatCannotBeRead) {
    const std::string missing = "/nonexistent/song.mid";
    try {
        readMidiFile(missing);
        FAIL() << "no error";
    } catch (const UserError& error) {
        EXPECT_EQ(std::string(error.what()), missing + ": No such file or directory");
    }
    const std::string directory = std::filesystem::temp_directory_path().string();
    try {
        readMidiFile(directory);
        FAIL() << "no error";
    } catch (const UserError& error) {
        EXPECT_EQ(std::string(error.what()), directory + ": is a directory");
    }
}
