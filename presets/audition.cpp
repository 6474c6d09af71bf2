#include "presets/audition.h"

#include "synth/synth_core.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>

namespace {

constexpr double kSecondsPerBeat = 0.5; // 120 beats a minute

class PhraseBuilder {
  public:
    explicit PhraseBuilder(double sampleRate) : sampleRate_(sampleRate) {}

    // A note from beat for length beats. A length that reaches past the next note's
    // start slurs into it: a monophonic voice then moves the pitch (and glides)
    // without a new attack.
    PhraseBuilder& note(double beat, double length, int key) {
        add(beat, 0x90, key, 100);
        add(beat + length, 0x80, key, 0);
        return *this;
    }

    Phrase finish() {
        std::stable_sort(
            phrase_.events.begin(), phrase_.events.end(),
            [](const PhraseEvent& a, const PhraseEvent& b) { return a.frame < b.frame; });
        phrase_.endFrame = phrase_.events.empty() ? 0 : phrase_.events.back().frame;
        return phrase_;
    }

  private:
    void add(double beat, int status, int key, int velocity) {
        const auto frame = static_cast<int64_t>(std::llround(beat * kSecondsPerBeat * sampleRate_));
        phrase_.events.push_back({frame, {uint8_t(status), uint8_t(key), uint8_t(velocity)}});
    }

    double sampleRate_;
    Phrase phrase_;
};

// Two bars in A minor, low: eighths with a few staccato sixteenths and an octave jump.
Phrase bassLine(double rate) {
    PhraseBuilder p(rate);
    p.note(0, 0.45, 33).note(0.5, 0.2, 33).note(0.75, 0.2, 45).note(1, 0.45, 33);
    p.note(1.5, 0.45, 36).note(2, 0.45, 38).note(2.5, 0.2, 40).note(2.75, 0.2, 40);
    p.note(3, 0.9, 43).note(4, 0.45, 33).note(4.5, 0.2, 33).note(4.75, 0.2, 45);
    p.note(5, 0.45, 31).note(5.5, 0.45, 31).note(6, 0.45, 36).note(6.5, 0.45, 38);
    p.note(7, 0.9, 40);
    return p.finish();
}

// A tune with detached notes, a slurred run and two wide slurred leaps for the glide.
Phrase leadMelody(double rate) {
    PhraseBuilder p(rate);
    p.note(0, 0.9, 69).note(1, 0.45, 72).note(1.5, 0.45, 74);
    p.note(2, 0.3, 76).note(2.25, 0.3, 79).note(2.5, 0.3, 81).note(2.75, 1.35, 79); // run
    p.note(4, 1.1, 64).note(5, 1.1, 76).note(6, 1.1, 69).note(7, 1.9, 81);          // leaps
    return p.finish();
}

// Chords of A minor, F and C, G as one held line, each tone slurred into the next.
Phrase padChords(double rate) {
    PhraseBuilder p(rate);
    const int keys[] = {57, 60, 64, 53, 57, 60, 55, 59, 62};
    for (int i = 0; i < 9; ++i)
        p.note(i * 1.0, i == 8 ? 2.0 : 1.05, keys[i]);
    return p.finish();
}

// A small tune in the middle of the keyboard: eighths and quarters, all detached.
Phrase keysTune(double rate) {
    PhraseBuilder p(rate);
    const int keys[] = {60, 64, 67, 72, 71, 67, 64, 65, 69, 72, 76, 74};
    const double lengths[] = {0.4, 0.4, 0.4, 0.9, 0.4, 0.4, 0.9, 0.4, 0.4, 0.4, 0.9, 1.4};
    double beat = 0;
    for (int i = 0; i < 12; ++i) {
        p.note(beat, lengths[i], keys[i]);
        beat += lengths[i] > 0.5 ? 1.0 : 0.5;
    }
    return p.finish();
}

// Four short hits, low to high, each left to ring out.
Phrase hits(double rate) {
    PhraseBuilder p(rate);
    p.note(0, 0.1, 36).note(1.5, 0.1, 43).note(3, 0.1, 48).note(4.5, 0.1, 60);
    return p.finish();
}

// Two long notes, a fifth apart, with room for the modulation to move.
Phrase longNotes(double rate) {
    PhraseBuilder p(rate);
    p.note(0, 6.0, 48).note(7, 6.0, 55);
    return p.finish();
}

} // namespace

Phrase auditionPhrase(Audition audition, double sampleRate) {
    switch (audition) {
    case Audition::Bass: return bassLine(sampleRate);
    case Audition::Lead: return leadMelody(sampleRate);
    case Audition::Pad: return padChords(sampleRate);
    case Audition::Keys: return keysTune(sampleRate);
    case Audition::Hits: return hits(sampleRate);
    case Audition::Effect: return longNotes(sampleRate);
    }
    return {};
}

Phrase probePhrase(double sampleRate) {
    PhraseBuilder p(sampleRate);
    p.note(0, 0.25, 48).note(2, 4.0, 60);
    return p.finish();
}

std::vector<float> playPhrase(const Phrase& phrase, double sampleRate, int32_t blockSize,
                              double maxTailSeconds, const PhrasePlayer& player) {
    const auto tailEnd = phrase.endFrame + static_cast<int64_t>(maxTailSeconds * sampleRate);
    std::vector<float> out;
    std::vector<float> left(static_cast<size_t>(blockSize)), right(static_cast<size_t>(blockSize));
    size_t next = 0;
    int64_t frame = 0;
    while (frame < tailEnd) {
        while (next < phrase.events.size() && phrase.events[next].frame <= frame)
            player.midi(phrase.events[next++].bytes);
        int64_t stop = std::min<int64_t>(frame + blockSize, tailEnd);
        if (next < phrase.events.size()) stop = std::min(stop, phrase.events[next].frame);
        const auto frames = static_cast<int32_t>(stop - frame);
        player.render(left.data(), right.data(), frames);
        out.insert(out.end(), left.begin(), left.begin() + frames);
        frame = stop;
        const bool silent =
            std::all_of(left.begin(), left.begin() + frames, [](float s) { return s == 0.0f; });
        if (next == phrase.events.size() && frames == blockSize && silent) break;
    }
    return out;
}

std::vector<float> renderPhrase(const float* values, const Phrase& phrase, double sampleRate) {
    std::vector<float> out;
    std::thread([&] {
        auto synth = std::make_unique<SynthCore>();
        synth->setSampleRate(static_cast<float>(sampleRate));
        for (int32_t i = 0; i < kNumParameters; ++i)
            synth->setParameter(i, values[i]);
        PhrasePlayer player;
        player.midi = [&](const uint8_t* bytes) { synth->receiveMidi(bytes, 0); };
        player.render = [&](float* left, float* right, int32_t frames) {
            synth->render(left, right, frames);
        };
        out = playPhrase(phrase, sampleRate, 512, 8.0, player);
    }).join();
    return out;
}
