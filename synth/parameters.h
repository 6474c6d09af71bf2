// The 36 automatable parameters: names, defaults, value texts and what each one
// does to the engine, plus the mappings from a normalised value to engine units.
//
// Values are normalised 32-bit floats, nominally 0..1, stored exactly as the host
// sends them. Choices are decoded with strict tests, so a value on a boundary
// belongs to the upper choice.
#pragma once

#include <cstdint>

enum ParameterIndex : int32_t {
    kWave1,
    kFine1,
    kCoarse1,
    kPulseWidth1,
    kWave2,
    kFine2,
    kCoarse2,
    kPulseWidth2,
    kOscMix,
    kSync,
    kRingMod,
    kGlide,
    kGlideType,
    kGlideAmount,
    kFilterType,
    kCutoff,
    kResonance,
    kEnv1Attack,
    kEnv1Decay,
    kEnv1Sustain,
    kEnv1Release,
    kEnv1Depth,
    kEnv2Attack,
    kEnv2Decay,
    kEnv2Sustain,
    kEnv2Release,
    kEnv2Depth,
    kLfo1Shape,
    kLfo1Rate,
    kLfo1Depth,
    kLfo1Destination,
    kLfo2Shape,
    kLfo2Rate,
    kLfo2Depth,
    kLfo2Destination,
    kVolume,
    kNumParameters
};

// How a value is shown to the host.
enum class ValueText {
    Percent,        // integer of n * 100
    Centred,        // integer of n * 100 - 50
    Semitones,      // integer of n * 24 - 12
    Waveform,       // Saw, Pulse, Tri, Sine, Noise
    OnOff,          // ON above 0.5
    GlideType,      // Time, Depth
    FilterType,     // Lo-pass, Hi-pass
    LfoShape,       // Sine, Squ, Saw, S&H
    LfoDestination, // ----, Pitch, PWM, Cutoff, Volume
    Decibels,       // 20 log10(n), through the host interface's decibel text
};

// What setting a parameter does besides storing its value. `unit` in the table
// says which oscillator, envelope or LFO (0 or 1) the effect reaches. Choices are
// decoded, and the glide and pulse-width amounts mapped, by the engine units.
enum class EngineEffect {
    None, // read by the render loop only
    Waveform,
    Tuning,
    PulseWidth1,
    PulseWidth2,
    Sync,
    Glide,
    GlideType,
    GlideAmount,
    FilterType,
    Cutoff,
    Resonance,
    EnvelopeAttack,
    EnvelopeDecay,
    EnvelopeSustain,
    EnvelopeRelease,
    LfoShape,
    LfoRate,
    LfoDepth,
    LfoDestination,
};

struct ParameterInfo {
    ParameterIndex index;
    const char* name; // at most 9 characters
    float defaultValue;
    ValueText text;
    EngineEffect effect;
    int unit;
};

extern const ParameterInfo kParameterTable[kNumParameters];

// Longest value text, without its terminating zero: the hosts' display field.
constexpr int kMaxValueTextLength = 8;

// Writes the value text of every kind except Decibels (which needs the host
// interface) into text, which must hold kMaxValueTextLength + 1 bytes.
void writeValueText(ValueText kind, float value, char* text);

// Envelope segment time in seconds: 0.01 s at 0, about 2.077 s at 0.5, 5 s at 1.
float envelopeSeconds(float value);

// Frequency factor of an oscillator: coarse spans -12..+12 semitones, fine -1..+1.
double tuningFactor(float coarse, float fine);

// Filter resonance divisor, 1 at 0 and 100 at 1.
float resonanceDivisor(float value);
