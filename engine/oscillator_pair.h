// Two wavetable oscillators sharing one gliding pitch.
//
// Oscillator 1 plays the note's current frequency; oscillator 2 runs at osc2Ratio
// times that. Phases are in table points (0..512). Waveform codes: 0 saw, 1 pulse,
// 2 triangle, 3 sine, 4 noise.
#pragma once

#include "engine/table_note.h"

#include <cstdint>

struct WavetableBank;

struct OscillatorPair {
    const WavetableBank* tables; // the synth's bank, set when the engine is built
    float sampleRate;            // Hz
    double pitchTable[128];      // Hz per MIDI note, by repeated multiplication
    double targetFrequency;      // Hz, what oscillator 1 glides toward
    double currentFrequency;     // Hz before pitch modulation; persists across notes
    double phase1;               // table points
    double phase2;               // table points
    double tuning1;              // frequency factor of oscillator 1
    double tuning2;              // frequency factor of oscillator 2
    double osc2Ratio;            // f2 / f1
    int32_t wave1;               // 0..4
    int32_t wave2;               // 0..4
    double phaseScale;           // 512 / sampleRate
    bool syncEnabled;            // oscillator 1 restarts with each cycle of oscillator 2
    double pulseWidth1;          // table points, 0..512
    double pulseWidth2;          // table points, 2..510
    bool glideEnabled;
    bool glideDepthMode;    // set: "Depth" (fixed rate), clear: "Time" (fixed duration)
    double glideRate;       // Depth: frequency factor per sample
    double glideTime;       // Time: glide duration in seconds
    double glideMultiplier; // Time: frequency factor per sample of the glide in progress

    // Caches, set by init; none of them can change a sample (see tick).
    uint32_t cachedPitchModulation; // bits of the last pitch modulation
    double cachedPitchFactor;       // 2 to that power
    int32_t tableNote1;             // last table notes, where the search starts
    int32_t tableNote2;
    engine::NoteBrackets noteBrackets; // the table-note boundaries

    struct Output {
        float out1;
        float out2;
    };

    void init();
    void setSampleRate(float rate);
    void retune(int note);
    void startNote(int note);
    // pitchModulation in octaves; pwm acts on oscillator 1's pulse only.
    Output tick(float pitchModulation, float pwm);

    void setWave1(float x);
    void setWave2(float x);
    void setGlide(float type, float amount);
    void setGlideRate(float amount);
};
