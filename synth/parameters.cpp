#include "synth/parameters.h"

#include "engine/engine_util.h"
#include "engine/lfo.h"
#include "engine/oscillator_pair.h"
#include "engine/resonant_filter.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

using VT = ValueText;
using EE = EngineEffect;

const ParameterInfo kParameterTable[kNumParameters] = {
    {kWave1, "Wave1", 0.0f, VT::Waveform, EE::Waveform, 0},
    {kFine1, "Fine1", 0.5f, VT::Centred, EE::Tuning, 0},
    {kCoarse1, "Coase1", 0.5f, VT::Semitones, EE::Tuning, 0},
    {kPulseWidth1, "PW1", 0.5f, VT::Percent, EE::PulseWidth1, 0},
    {kWave2, "Wave2", 0.0f, VT::Waveform, EE::Waveform, 1},
    {kFine2, "Fine2", 0.51f, VT::Centred, EE::Tuning, 1},
    {kCoarse2, "Coase2", 0.5f, VT::Semitones, EE::Tuning, 1},
    {kPulseWidth2, "PW2", 0.5f, VT::Percent, EE::PulseWidth2, 1},
    {kOscMix, "OscMix", 0.5f, VT::Centred, EE::None, 0},
    {kSync, "Sync", 0.0f, VT::OnOff, EE::Sync, 0},
    {kRingMod, "RingMod", 0.0f, VT::Percent, EE::None, 0},
    {kGlide, "Glide", 0.0f, VT::OnOff, EE::Glide, 0},
    {kGlideType, "GlideTyp", 0.0f, VT::GlideType, EE::GlideType, 0},
    {kGlideAmount, "GlideDep", 0.1f, VT::Percent, EE::GlideAmount, 0},
    {kFilterType, "Filter", 0.0f, VT::FilterType, EE::FilterType, 0},
    {kCutoff, "Cutoff", 1.0f, VT::Percent, EE::Cutoff, 0},
    {kResonance, "Reso", 0.0f, VT::Percent, EE::Resonance, 0},
    {kEnv1Attack, "Env1 Att", 0.0f, VT::Percent, EE::EnvelopeAttack, 0},
    {kEnv1Decay, "Env1 Dec", 0.5f, VT::Percent, EE::EnvelopeDecay, 0},
    {kEnv1Sustain, "Env1 Sus", 0.8f, VT::Percent, EE::EnvelopeSustain, 0},
    {kEnv1Release, "Env1 Rel", 0.01f, VT::Percent, EE::EnvelopeRelease, 0},
    {kEnv1Depth, "Env1 Dep", 0.5f, VT::Centred, EE::None, 0},
    {kEnv2Attack, "Env2 Att", 0.0f, VT::Percent, EE::EnvelopeAttack, 1},
    {kEnv2Decay, "Env2 Dec", 0.5f, VT::Percent, EE::EnvelopeDecay, 1},
    {kEnv2Sustain, "Env2 Sus", 0.8f, VT::Percent, EE::EnvelopeSustain, 1},
    {kEnv2Release, "Env2 Rel", 0.01f, VT::Percent, EE::EnvelopeRelease, 1},
    {kEnv2Depth, "Env2 Dep", 1.0f, VT::Centred, EE::None, 0},
    {kLfo1Shape, "LFO1 Typ", 0.0f, VT::LfoShape, EE::LfoShape, 0},
    {kLfo1Rate, "LFO1 Rate", 0.0f, VT::Percent, EE::LfoRate, 0},
    {kLfo1Depth, "LFO1 Dep", 0.0f, VT::Percent, EE::LfoDepth, 0},
    {kLfo1Destination, "LFO1 Dest", 0.0f, VT::LfoDestination, EE::LfoDestination, 0},
    {kLfo2Shape, "LFO2 Typ", 0.0f, VT::LfoShape, EE::LfoShape, 1},
    {kLfo2Rate, "LFO2 Rate", 0.0f, VT::Percent, EE::LfoRate, 1},
    {kLfo2Depth, "LFO2 Dep", 0.0f, VT::Percent, EE::LfoDepth, 1},
    {kLfo2Destination, "LFO2 Dest", 0.0f, VT::LfoDestination, EE::LfoDestination, 1},
    {kVolume, "Volume", 0.8f, VT::Decibels, EE::None, 0},
};

namespace {

// Truncation toward zero. Values are stored unclamped, so a wild one is held to
// the integer range first rather than converted out of range.
int truncated(double value) {
    if (std::isnan(value)) return 0;
    if (value >= double(INT_MAX)) return INT_MAX;
    if (value <= double(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

void writeInteger(int value, char* text) {
    std::snprintf(text, kMaxValueTextLength + 1, "%d", value);
}

void writeWord(const char* word, char* text) {
    std::strcpy(text, word);
}

} // namespace

void writeValueText(ValueText kind, float value, char* text) {
    // Each in the order of its codes; the engine's decoders pick the word.
    static const char* const waveforms[] = {"Saw", "Pulse", "Tri", "Sine", "Noise"};
    static const char* const filterModes[] = {"Lo-pass", "Hi-pass"};
    static const char* const lfoShapes[] = {"Sine", "Squ", "Saw", "S&H"};
    static const char* const destinations[] = {"----", "Pitch", "PWM", "Cutoff", "Volume"};
    const double n = value;

    switch (kind) {
    case VT::Percent: writeInteger(truncated(n * 100.0), text); break;
    case VT::Centred: writeInteger(truncated(n * 100.0 - 50.0), text); break;
    case VT::Semitones: writeInteger(truncated(n * 24.0 - 12.0), text); break;
    case VT::Waveform: writeWord(waveforms[OscillatorPair::waveformFor(value)], text); break;
    case VT::OnOff: writeWord(engine::isSwitchedOn(value) ? "ON" : "OFF", text); break;
    case VT::GlideType:
        writeWord(OscillatorPair::isDepthGlide(value) ? "Depth" : "Time", text);
        break;
    case VT::FilterType: writeWord(filterModes[ResonantFilter::modeFor(value)], text); break;
    case VT::LfoShape: writeWord(lfoShapes[Lfo::shapeFor(value)], text); break;
    case VT::LfoDestination: writeWord(destinations[Lfo::destinationFor(value)], text); break;
    case VT::Decibels: text[0] = 0; break; // written by the synth
    }
}

float envelopeSeconds(float value) {
    const float p = static_cast<float>(std::pow(2.0, double(value)));
    return static_cast<float>((double(p) - 1.0) * double(4.99f) + double(0.01f));
}

double tuningFactor(float coarse, float fine) {
    return std::pow(1.059463094359, (double(coarse) * 24.0 - 12.0) + (double(fine) * 2.0 - 1.0));
}

float resonanceDivisor(float value) {
    const float r = static_cast<float>(double(value) * 9.0 + 1.0);
    return static_cast<float>(double(r) * double(r));
}
