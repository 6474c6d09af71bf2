// Low-frequency oscillator, 0.1 to 50.1 Hz: sine, square, saw or sample-and-hold.
//
// Produces a value only; the render loop routes it by destination code
// (0 none, 1 pitch, 2 pulse width, 3 cutoff, 4 volume).
//
// Threads: the audio thread ticks; the setters (and `depth`) are parameter changes
// from the control thread and may land between any two ticks.
#pragma once

#include "engine/engine_util.h"
#include "engine/random_source.h"

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

    // Control thread, never while the audio thread ticks (the sine table changes).
    void setSampleRate(float rate);
    // Control thread; may run beside the ticks.
    void setRate(float x);
    void setShape(float x);
    void setDestination(float x);
    // The rest: audio thread only.
    // heldValue is the sample-and-hold value shared by both LFOs of one synth.
    float tick(float& heldValue);
    // tick without working out the output, for an LFO routed nowhere: the phase moves
    // and a sample-and-hold LFO still draws on its wraps, exactly as in tick.
    void advance(float& heldValue);
    // tick and advance on a phase kept outside the record, which the render loop holds
    // in a register for a stretch of samples; tick() is tickAt(phase, heldValue).
    float tickAt(double& position, float& heldValue) const;
    void advanceAt(double& position, float& heldValue) const;
};

// The per-sample operations are defined here so that the render loop compiles into
// one loop.
inline float Lfo::tick(float& heldValue) {
    return tickAt(phase, heldValue);
}

inline void Lfo::advance(float& heldValue) {
    advanceAt(phase, heldValue);
}

inline float Lfo::tickAt(double& position, float& heldValue) const {
    position += increment;
    const bool wrapped = engine::wrapPhase(position);

    double value;
    switch (shape) {
    case 0: {
        const int32_t i = engine::truncateToInt32(position);
        const double fraction = position - i;
        const double a = sineTable[static_cast<uint32_t>(i) & engine::kTableMask];
        const double b = sineTable[(static_cast<uint32_t>(i) + 1u) & engine::kTableMask];
        value = a + (b - a) * fraction;
        break;
    }
    case 1: value = position < 256.0 ? -1.0 : 1.0; break;
    case 2: value = position * 0.001953125 * 2.0 - 1.0; break; // -1 at 0 rising to +1 at 512
    default:
        // Renewed only on this LFO's own wraps, but shared with the other LFO.
        if (wrapped) heldValue = static_cast<float>(random_source::nextSample());
        value = heldValue;
        break;
    }
    return static_cast<float>(depth * static_cast<double>(static_cast<float>(value)));
}

inline void Lfo::advanceAt(double& position, float& heldValue) const {
    position += increment;
    if (engine::wrapPhase(position) && shape == 3)
        heldValue = static_cast<float>(random_source::nextSample());
}
