// Low-frequency oscillator, 0.1 to 50.1 Hz: sine, square, saw or sample-and-hold.
//
// Produces a value only; the render loop routes it by destination code
// (0 none, 1 pitch, 2 pulse width, 3 cutoff, 4 volume).
#pragma once

#include <cstdint>

struct Lfo {
    int32_t destination = 0; // 0..4
    float sampleRate = 0;    // Hz
    float sineTable[512] = {};
    float increment = 0; // table points per sample
    float depth = 0;     // output scale, the parameter value as it arrives
    double phase = 0;    // table points, 0..512
    double phaseScale = 0;
    int32_t shape = 0; // 0 sine, 1 square, 2 saw, 3 sample-and-hold

    void setSampleRate(float rate);
    void setRate(float x);
    void setShape(float x);
    void setDestination(float x);
    // heldValue is the sample-and-hold value shared by both LFOs of one synth.
    float tick(float& heldValue);
};
