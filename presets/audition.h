// The audition phrases: what each kind of preset plays to show itself off, and the
// one way every front-end plays them, so renders through different formats compare
// sample for sample.
#pragma once

#include "presets/factory_bank.h"

#include <cstdint>
#include <functional>
#include <vector>

struct PhraseEvent {
    int64_t frame;
    uint8_t bytes[3];
};

struct Phrase {
    std::vector<PhraseEvent> events; // sorted by frame
    int64_t endFrame = 0;            // the last event's frame: the tail starts here
};

// At 120 beats a minute, 2 to 8 bars, on MIDI channel 1.
Phrase auditionPhrase(Audition audition, double sampleRate);

// A short staccato note, then a long one, then the release: the same material for
// every preset, for comparing presets with each other.
Phrase probePhrase(double sampleRate);

struct PhrasePlayer {
    std::function<void(const uint8_t* bytes)> midi; // at the next frame
    std::function<void(float* left, float* right, int32_t frames)> render;
};

// Plays the phrase and returns the left output (Quillo's outputs are the same).
// Blocks are split at every event, so each one acts on its own frame, and are at most
// blockSize frames long. After the last event it renders on until a whole block is
// silent (exact zeros, as Quillo gives once the voice has ended) or maxTailSeconds
// have passed.
std::vector<float> playPhrase(const Phrase& phrase, double sampleRate, int32_t blockSize,
                              double maxTailSeconds, const PhrasePlayer& player);

// Quillo itself (the instrument without a plug-in format) with these 36 values
// playing the phrase in blocks of up to 512 frames, on a thread of its own so that
// its noise and sample-and-hold start from the random source's first value, as in
// a freshly started host.
std::vector<float> renderPhrase(const float* values, const Phrase& phrase, double sampleRate);
