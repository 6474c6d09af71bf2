// Plays notes into a running quillo-jack at known frames, records what it sends
// back, and compares the recording with the instrument's own render of the same
// events at the same frames, bit for bit.
//
//   jack_player QUILLO_CLIENT [PARAM=VALUE...]
//
// Two clients in this process, so the graph is a chain and all three run in one
// period: "sender" -> quillo -> "recorder". The server freewheels while it records,
// running period after period as fast as the clients go, so a loaded machine cannot
// make it skip one. Exit status 0 when the recording matches, 1 when it differs, 2
// when it could not be made.

#include "engine/random_source.h"
#include "hosting/user_error.h"
#include "plugins/jack/parameter_probe.h"
#include "synth/synth_core.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Note {
    int64_t frame; // from the first recorded frame
    uint8_t bytes[3];
};

// Fresh notes, legato notes, releases and a program change, some on period boundaries
// and some inside periods.
const std::vector<Note> kScore = {
    {100, {0x90, 60, 100}},   {9000, {0x90, 67, 90}},   {15000, {0x80, 60, 0}},
    {15001, {0x80, 67, 0}},   {20480, {0x90, 48, 100}}, {22000, {0xB0, 1, 64}},
    {30000, {0x90, 72, 100}}, {30000, {0x80, 48, 0}},   {40000, {0x80, 72, 0}},
    {45000, {0xC0, 3, 0}},    {45100, {0x9A, 55, 80}},  {52000, {0x8A, 55, 0}},
};
constexpr int64_t kFrames = 64000;

struct Session {
    jack_client_t* sender = nullptr;
    jack_client_t* recorder = nullptr;
    jack_port_t* midiOut = nullptr;
    jack_port_t* in[2] = {};
    std::atomic<bool> armed{false};
    std::atomic<int64_t> start{-1}; // frame time of the first recorded period
    std::atomic<int64_t> recorded{0};
    std::vector<float> take[2];
    size_t next = 0; // the next note to send
};

int send(jack_nframes_t frames, void* arg) {
    auto& s = *static_cast<Session*>(arg);
    void* buffer = jack_port_get_buffer(s.midiOut, frames);
    jack_midi_clear_buffer(buffer);
    if (!s.armed) return 0;
    const int64_t now = jack_last_frame_time(s.sender);
    if (s.start < 0) s.start = now;
    while (s.next < kScore.size() && kScore[s.next].frame < now - s.start + frames) {
        const Note& note = kScore[s.next++];
        jack_midi_event_write(buffer, static_cast<jack_nframes_t>(note.frame - (now - s.start)),
                              note.bytes, 3);
    }
    return 0;
}

int record(jack_nframes_t frames, void* arg) {
    auto& s = *static_cast<Session*>(arg);
    const int64_t start = s.start;
    if (start < 0 || jack_last_frame_time(s.recorder) < start) return 0;
    const int64_t at = s.recorded;
    const int64_t count = std::min<int64_t>(frames, kFrames - at);
    for (int c = 0; c < 2 && count > 0; ++c) {
        const auto* samples = static_cast<const float*>(jack_port_get_buffer(s.in[c], frames));
        std::memcpy(s.take[c].data() + at, samples, size_t(count) * sizeof(float));
    }
    if (count > 0) s.recorded = at + count;
    return 0;
}

// The instrument as quillo-jack runs it: made at 44100 Hz, set to the server's rate,
// the settings applied, then one block per period with each event at its frame.
std::vector<float> expected(float rate, jack_nframes_t period,
                            const std::vector<std::pair<int32_t, float>>& settings) {
    random_source::seed = 1;
    auto core = std::make_unique<SynthCore>();
    core->setSampleRate(rate);
    for (auto [index, value] : settings)
        core->setParameter(index, value);
    std::vector<float> out(kFrames), right(period);
    size_t next = 0;
    for (int64_t block = 0; block < kFrames; block += period) {
        while (next < kScore.size() && kScore[next].frame < block + period) {
            const Note& note = kScore[next++];
            if ((note.bytes[0] & 0xF0) == 0xC0)
                core->setProgram(note.bytes[1]);
            else
                core->receiveMidi(note.bytes, static_cast<int32_t>(note.frame - block));
        }
        const int32_t frames = static_cast<int32_t>(std::min<int64_t>(period, kFrames - block));
        core->render(out.data() + block, right.data(), frames);
    }
    return out;
}

int fail(const char* what) {
    std::fprintf(stderr, "jack_player: %s\n", what);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return fail("usage: jack_player QUILLO_CLIENT [PARAM=VALUE...]");
    const std::string quillo = argv[1];
    // The settings as quillo-jack reads them.
    std::vector<std::pair<int32_t, float>> settings;
    ParameterProbe probe;
    try {
        for (int i = 2; i < argc; ++i)
            settings.push_back(
                quillo::hosting::resolveParameter(probe, quillo::hosting::parseParameter(argv[i])));
    } catch (const quillo::UserError& error) {
        return fail(error.what());
    }

    Session s;
    s.sender = jack_client_open("sender", JackNoStartServer, nullptr);
    s.recorder = jack_client_open("recorder", JackNoStartServer, nullptr);
    if (!s.sender || !s.recorder) return fail("no JACK server");
    s.midiOut =
        jack_port_register(s.sender, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    s.in[0] =
        jack_port_register(s.recorder, "in_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    s.in[1] =
        jack_port_register(s.recorder, "in_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    for (auto& channel : s.take)
        channel.assign(kFrames, 0.0f);
    jack_set_process_callback(s.sender, send, &s);
    jack_set_process_callback(s.recorder, record, &s);
    if (jack_activate(s.sender) || jack_activate(s.recorder)) return fail("cannot activate");
    if (jack_connect(s.sender, "sender:midi_out", (quillo + ":midi_in").c_str()) ||
        jack_connect(s.recorder, (quillo + ":out_left").c_str(), "recorder:in_left") ||
        jack_connect(s.recorder, (quillo + ":out_right").c_str(), "recorder:in_right"))
        return fail("cannot connect to the quillo client");

    const float rate = static_cast<float>(jack_get_sample_rate(s.recorder));
    const jack_nframes_t period = jack_get_buffer_size(s.recorder);
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // connections settle
    jack_set_freewheel(s.sender, 1);
    s.armed = true;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(int64_t(4000 + kFrames * 2000 / rate));
    while (s.recorded < kFrames && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    jack_set_freewheel(s.sender, 0);
    jack_client_close(s.sender);
    jack_client_close(s.recorder);
    if (s.recorded < kFrames) return fail("the recording did not finish");

    const std::vector<float> want = expected(rate, period, settings);
    int sounding = 0;
    for (int64_t i = 0; i < kFrames; ++i) {
        for (int c = 0; c < 2; ++c) {
            if (std::memcmp(&s.take[c][i], &want[i], sizeof(float)) != 0) {
                std::fprintf(stderr, "jack_player: frame %lld, output %d: %.9g, expected %.9g\n",
                             static_cast<long long>(i), c, double(s.take[c][i]), double(want[i]));
                return 1;
            }
        }
        if (want[i] != 0.0f) ++sounding;
    }
    if (sounding < kFrames / 2) return fail("the expected render is mostly silent");
    std::printf("jack_player: %lld frames at %g Hz in periods of %u match bit for bit\n",
                static_cast<long long>(kFrames), double(rate), period);
    return 0;
}
