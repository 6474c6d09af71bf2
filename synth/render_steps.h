// The arithmetic that joins the engine units in the render loop, one step each.
//
// Every value here is a float. Each formula is evaluated in double precision from
// its float operands, in the order written, and rounded once when it is stored:
// the output is defined sample for sample, so none of this may be simplified.
#pragma once

#include "engine/lfo.h"

#include <cstdint>

namespace render_steps {

// Worked out once per block from the parameter mirror.
struct BlockValues {
    float gain1;  // oscillator 1 in the mix
    float gain2;  // oscillator 2 in the mix
    float depth1; // envelope 1 on the cutoff, -1..+1
    float depth2; // envelope 2 on the amplitude, -1..+1
    float volume;
};

// "OscMix" 0 plays oscillator 1 alone at 0.5, 0.5 both at 0.5, 1 oscillator 2 alone.
inline BlockValues blockValues(float oscMix, float env1Depth, float env2Depth, float volume) {
    BlockValues values;
    values.gain1 = oscMix > 0.5f ? static_cast<float>(0.5 - (double(oscMix) - 0.5)) : 0.5f;
    values.gain2 = oscMix > 0.5f ? 0.5f : oscMix;
    values.depth1 = static_cast<float>(double(env1Depth) * 2.0 - 1.0);
    values.depth2 = static_cast<float>(double(env2Depth) * 2.0 - 1.0);
    values.volume = volume;
    return values;
}

// Whether an LFO's output reaches anything.
inline bool isRouted(Lfo::Destination destination) {
    return destination >= Lfo::ToPitch && destination <= Lfo::ToVolume;
}

// What the two LFOs add to each destination in one sample; 0 where none contributes.
struct Modulation {
    float pitch = 0;      // octaves
    float pulseWidth = 0; // each LFO adds (l + 1) * 0.5
    float cutoff = 0;     // normalised cutoff
    float volume = 0;

    float* sumFor(Lfo::Destination destination) {
        switch (destination) {
        case Lfo::ToPitch: return &pitch;
        case Lfo::ToPulseWidth: return &pulseWidth;
        case Lfo::ToCutoff: return &cutoff;
        case Lfo::ToVolume: return &volume;
        default: return nullptr;
        }
    }
};

inline double lfoTerm(Lfo::Destination destination, float output) {
    return destination == Lfo::ToPulseWidth ? (double(output) + 1.0) * 0.5 : double(output);
}

// LFO 1's term starts each sum, LFO 2's is added to it.
inline Modulation modulation(Lfo::Destination destination1, float l1, Lfo::Destination destination2,
                             float l2) {
    Modulation sums;
    if (float* sum = sums.sumFor(destination1))
        *sum = static_cast<float>(lfoTerm(destination1, l1));
    if (float* sum = sums.sumFor(destination2))
        *sum = static_cast<float>(double(*sum) + lfoTerm(destination2, l2));
    return sums;
}

// At "RingMod" 1 oscillator 1 is multiplied by (1 + o2); at 0 it passes unchanged.
inline float ringModulated(float o1, float o2, float ringMod) {
    return static_cast<float>((double(o2) * double(ringMod)) * double(o1) + double(o1));
}

inline float oscillatorMix(float o1, float o2, const BlockValues& block) {
    return static_cast<float>(double(o2) * double(block.gain2) + double(o1) * double(block.gain1));
}

// The filter clamps the result to 0..1 itself.
inline float modulatedCutoff(float e1, float depth1, float cutoff, float cutoffModulation) {
    return static_cast<float>((double(e1) * double(depth1) + double(cutoff)) +
                              double(cutoffModulation));
}

// With no LFO on the volume the factor (vm + 1) * 0.5 is 0.5.
inline float amplitude(float y, float volumeModulation, float e2, float depth2) {
    return static_cast<float>(
        double(y) * (((double(volumeModulation) + 1.0) * 0.5) * (double(e2) * double(depth2))));
}

inline float withVolume(float s, float volume) {
    return static_cast<float>(double(s) * double(volume));
}

} // namespace render_steps
