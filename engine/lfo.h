// Low-frequency oscillator, 0.1 to 50.1 Hz: sine, square, saw or sample-and-hold.
//
// Produces a value only; the render loop routes it by its destination.
//
// Threads: the audio thread ticks; the setters (and `depth`) are parameter changes
// from the control thread and may land between any two ticks.
#pragma once

#include "engine/engine_util.h"
#include "engine/random_source.h"

#include <cstdint>

struct Lfo {
    // The codes are the order of the "LFO1 Typ" and "LFO1 Dest" choices (and LFO 2's).
    enum Shape : int32_t { Sine = 0, Square = 1, Saw = 2, SampleAndHold = 3 };
    enum Destination : int32_t {
        ToNothing = 0,
        ToPitch = 1,
        ToPulseWidth = 2,
        ToCutoff = 3,
        ToVolume = 4
    };

    // The settings from their normalised parameter values; the value texts decode with
    // these too.
    static Shape shapeFor(float x) { return static_cast<Shape>(engine::fourWayChoice(x)); }
    static Destination destinationFor(float x) {
        return static_cast<Destination>(engine::fiveWayChoice(x));
    }

    Destination destination = ToNothing;
    float sampleRate = 0; // Hz
    float sineTable[512] = {};
    float increment = 0; // table points per sample
    float depth = 0;     // output scale, the parameter value as it arrives
    double phase = 0;    // table points, 0..512
    double phaseScale = 0;
    Shape shape = Sine;

    // Control thread, never while the audio thread ticks (the sine table changes).
    void setSampleRate(float rate);
    // Control thread; may run beside the ticks.
    void setRate(float x);
    void setShape(float x);
    void setDestination(float x);
    // Audio thread, once per sample. heldValue is the sample-and-hold value shared by
    // both LFOs of one synth.
    float tick(float& heldValue);
    // tick without working out the output, for an LFO routed nowhere: the phase moves
    // and a sample-and-hold LFO still draws on its wraps, exactly as in tick.
    void advance(float& heldValue);

    // For the staged render loop, which holds the phase in a register for a stretch of
    // samples: tick and advance on a phase kept outside the record. tick() is
    // tickAt(phase, heldValue). Audio thread.
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
    case Sine: {
        const int32_t i = engine::truncateToInt32(position);
        const double fraction = position - i;
        const double a = sineTable[static_cast<uint32_t>(i) & engine::kTableMask];
        const double b = sineTable[(static_cast<uint32_t>(i) + 1u) & engine::kTableMask];
        value = a + (b - a) * fraction;
        break;
    }
    case Square: value = position < 256.0 ? -1.0 : 1.0; break;
    case Saw: value = position * 0.001953125 * 2.0 - 1.0; break; // -1 at 0 rising to +1 at 512
    default:                                                     // SampleAndHold
        // Renewed only on this LFO's own wraps, but shared with the other LFO.
        if (wrapped) heldValue = static_cast<float>(random_source::nextSample());
        value = heldValue;
        break;
    }
    return static_cast<float>(depth * static_cast<double>(static_cast<float>(value)));
}

inline void Lfo::advanceAt(double& position, float& heldValue) const {
    position += increment;
    if (engine::wrapPhase(position) && shape == SampleAndHold)
        heldValue = static_cast<float>(random_source::nextSample());
}
