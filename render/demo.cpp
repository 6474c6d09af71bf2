#include "render/demo.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace quillo::render {
namespace {

constexpr double kBeatsPerMinute = 120.0;

// Lays notes and parameter changes down on a beat grid.
class PhraseBuilder {
  public:
    explicit PhraseBuilder(double sampleRate) : sampleRate_(sampleRate) {}

    int64_t frameOf(double beat) const {
        return frameAt(beat * 60.0 / kBeatsPerMinute, sampleRate_);
    }

    void note(double beat, double lengthBeats, int key, int velocity = 100) {
        add(frameOf(beat), 0x90, key, velocity);
        add(frameOf(beat + lengthBeats), 0x80, key, 0);
    }

    void set(double beat, std::initializer_list<std::pair<const char*, float>> values) {
        for (const auto& [name, value] : values) {
            score_.parameters.push_back({frameOf(beat), name, value});
        }
    }

    // Moves a parameter in a straight line, one step every 10 ms.
    void sweep(const char* name, double fromBeat, double toBeat, float from, float to) {
        const int64_t start = frameOf(fromBeat);
        const int64_t stop = frameOf(toBeat);
        const int64_t step = std::max<int64_t>(1, frameAt(0.01, sampleRate_));
        for (int64_t frame = start; frame <= stop; frame += step) {
            const double position = static_cast<double>(frame - start) / (stop - start);
            score_.parameters.push_back(
                {frame, name, static_cast<float>(from + (to - from) * position)});
        }
    }

    Score finish() {
        auto byFrame = [](const auto& a, const auto& b) { return a.frame < b.frame; };
        std::stable_sort(score_.events.begin(), score_.events.end(), byFrame);
        std::stable_sort(score_.parameters.begin(), score_.parameters.end(), byFrame);
        score_.endFrame = score_.events.empty() ? 0 : score_.events.back().frame;
        TempoSegment tempo;
        tempo.beatsPerMinute = kBeatsPerMinute;
        score_.tempo = TempoMap({tempo});
        return std::move(score_);
    }

  private:
    void add(int64_t frame, int status, int key, int velocity) {
        TimedMidiEvent event;
        event.frame = frame;
        event.bytes[0] = static_cast<uint8_t>(status);
        event.bytes[1] = static_cast<uint8_t>(key);
        event.bytes[2] = static_cast<uint8_t>(velocity);
        event.length = 3;
        score_.events.push_back(event);
    }

    double sampleRate_;
    Score score_;
};

// Sixteenth notes that overlap the next one, so a monophonic synth slurs them.
void legatoRun(PhraseBuilder& phrase, double startBeat, std::initializer_list<int> keys) {
    double beat = startBeat;
    for (int key : keys) {
        phrase.note(beat, 0.3, key);
        beat += 0.25;
    }
}

} // namespace

Score demoScore(double sampleRate) {
    PhraseBuilder phrase(sampleRate);

    // 1. Legato runs: two detuned saws, a plucky filter envelope.
    phrase.set(0, {{"Wave1", 0.0f},    {"Wave2", 0.0f},    {"Fine2", 0.54f},   {"Coase2", 0.5f},
                   {"OscMix", 0.4f},   {"Glide", 0.0f},    {"Filter", 0.0f},   {"Cutoff", 0.35f},
                   {"Reso", 0.35f},    {"Env1 Att", 0.0f}, {"Env1 Dec", 0.2f}, {"Env1 Sus", 0.3f},
                   {"Env1 Rel", 0.1f}, {"Env1 Dep", 0.8f}, {"Env2 Att", 0.0f}, {"Env2 Dec", 0.3f},
                   {"Env2 Sus", 0.8f}, {"Env2 Rel", 0.1f}, {"Env2 Dep", 1.0f}, {"LFO1 Dep", 0.0f},
                   {"LFO2 Dep", 0.0f}, {"Volume", 0.45f}});
    legatoRun(phrase, 0, {57, 60, 64, 67, 69, 72, 76, 79, 81, 79, 76, 72, 69, 67, 64, 60});
    legatoRun(phrase, 4, {57, 59, 60, 62, 64, 65, 67, 69, 71, 72, 74, 76, 77, 79, 81, 84});

    // 2. Glide: a pulse wave sliding between wide intervals.
    phrase.set(8, {{"Wave1", 0.3f},
                   {"PW1", 0.3f},
                   {"Glide", 1.0f},
                   {"GlideTyp", 0.0f},
                   {"GlideDep", 0.3f},
                   {"Cutoff", 0.5f},
                   {"Env1 Dep", 0.65f}});
    // Each note overlaps the next, so the pitch glides; the last one lets its
    // release finish before the next section's first note.
    const int glideKeys[] = {45, 57, 52, 64, 60, 72, 67, 55};
    for (int i = 0; i < 8; ++i)
        phrase.note(8 + i, i < 7 ? 1.1 : 0.6, glideKeys[i]);

    // 3. Filter sweep: a resonant bass line while the cutoff opens and closes.
    // Each note is fresh and restarts the amplitude envelope from silence, so
    // its short release (6 ms from the sustain level) ends in the gap before the
    // next one instead of being cut off with a click.
    phrase.set(16.5, {{"Glide", 0.0f},
                      {"Wave1", 0.0f},
                      {"Wave2", 0.3f},
                      {"Reso", 0.4f},
                      {"Env1 Dep", 0.5f},
                      {"Env2 Dec", 0.15f},
                      {"Env2 Sus", 0.6f},
                      {"Env2 Rel", 0.0f}});
    phrase.sweep("Cutoff", 16.5, 22.5, 0.15f, 0.9f);
    phrase.sweep("Cutoff", 22.5, 26.5, 0.9f, 0.2f);
    for (int i = 0; i < 20; ++i)
        phrase.note(16.5 + 0.5 * i, 0.4, i % 2 ? 48 : 36);

    // 4. LFOs: vibrato on the pitch, a slow wobble on the cutoff, long legato notes.
    phrase.set(26.5, {{"Cutoff", 0.45f},
                      {"Reso", 0.4f},
                      {"Wave2", 0.0f},
                      {"Fine2", 0.56f},
                      {"Env2 Dec", 0.3f},
                      {"Env2 Sus", 0.9f},
                      {"Env2 Rel", 0.2f},
                      {"LFO1 Typ", 0.0f},
                      {"LFO1 Rate", 0.3f},
                      {"LFO1 Dep", 0.02f},
                      {"LFO1 Dest", 0.3f},
                      {"LFO2 Typ", 0.0f},
                      {"LFO2 Rate", 0.12f},
                      {"LFO2 Dep", 0.35f},
                      {"LFO2 Dest", 0.7f}});
    phrase.note(27, 3.1, 64);
    phrase.note(30, 2.1, 67);
    phrase.note(32, 5.0, 72);
    return phrase.finish();
}

Score notesScore(const std::vector<int>& keys, double sampleRate) {
    Score score;
    for (size_t i = 0; i < keys.size(); ++i) {
        const auto key = static_cast<uint8_t>(keys[i]);
        TimedMidiEvent on{frameAt(2.0 * i, sampleRate), {0x90, key, 100}, 3};
        TimedMidiEvent off{frameAt(2.0 * i + 1.0, sampleRate), {0x80, key, 0}, 3};
        score.events.push_back(on);
        score.events.push_back(off);
    }
    score.endFrame = score.fileEndFrame = frameAt(notesSeconds(keys), sampleRate);
    return score;
}

double notesSeconds(const std::vector<int>& keys) {
    return 2.0 * static_cast<double>(keys.size());
}

} // namespace quillo::render
