// The instrument's parameter operations: every setting reaches the engine through
// setParameter, whether a host sets it or a program is loaded.

#include "synth/synth_core.h"

#include <cmath>
#include <cstring>

namespace {
bool isParameterIndex(int32_t index) {
    return index >= 0 && index < kNumParameters;
}
} // namespace

void SynthCore::setParameter(int32_t index, float value) {
    if (!isParameterIndex(index)) return;
    // A NaN would reach the filter, whose history is never cleared, and silence the
    // instance for good; infinities end up the same way.
    if (!std::isfinite(value)) return;
    programs[currentProgram].values[index] = value;
    parameters[index] = value;
    applyParameter(kParameterTable[index], value);
}

float SynthCore::getParameter(int32_t index) const {
    return isParameterIndex(index) ? parameters[index] : 0.0f;
}

// Called after the value is in the mirror: glide type and amount read each other there.
void SynthCore::applyParameter(const ParameterInfo& info, float value) {
    const bool first = info.unit == 0;
    Envelope& envelope = first ? envelope1 : envelope2;
    Lfo& lfo = first ? lfo1 : lfo2;

    switch (info.effect) {
    case EngineEffect::None: break;
    case EngineEffect::Waveform:
        if (first)
            oscillators.setWave1(value);
        else
            oscillators.setWave2(value);
        break;
    case EngineEffect::Tuning:
        if (first)
            oscillators.tuning1 = tuningFactor(parameters[kCoarse1], parameters[kFine1]);
        else
            oscillators.tuning2 = tuningFactor(parameters[kCoarse2], parameters[kFine2]);
        break;
    case EngineEffect::PulseWidth1: oscillators.setPulseWidth1(value); break;
    case EngineEffect::PulseWidth2: oscillators.setPulseWidth2(value); break;
    case EngineEffect::Sync: oscillators.syncEnabled = engine::isSwitchedOn(value); break;
    case EngineEffect::Glide: oscillators.glideEnabled = engine::isSwitchedOn(value); break;
    case EngineEffect::GlideType: oscillators.setGlide(value, parameters[kGlideAmount]); break;
    case EngineEffect::GlideAmount:
        // Only the amount of the mode in force changes, never the mode.
        if (OscillatorPair::isDepthGlide(parameters[kGlideType]))
            oscillators.setGlideRate(value);
        else
            oscillators.setGlideTime(value);
        break;
    case EngineEffect::FilterType: filter.setMode(value); break;
    case EngineEffect::Cutoff: filter.setCutoff(value); break;
    case EngineEffect::Resonance: filter.setResonance(resonanceDivisor(value)); break;
    case EngineEffect::EnvelopeAttack: envelope.setAttack(envelopeSeconds(value)); break;
    case EngineEffect::EnvelopeDecay: envelope.setDecay(envelopeSeconds(value)); break;
    case EngineEffect::EnvelopeSustain: envelope.setSustain(value); break;
    case EngineEffect::EnvelopeRelease: envelope.setRelease(envelopeSeconds(value)); break;
    case EngineEffect::LfoShape: lfo.setShape(value); break;
    case EngineEffect::LfoRate: lfo.setRate(value); break;
    case EngineEffect::LfoDepth: lfo.depth = value; break;
    case EngineEffect::LfoDestination: lfo.setDestination(value); break;
    }
}

const char* SynthCore::parameterName(int32_t index) {
    return isParameterIndex(index) ? kParameterTable[index].name : nullptr;
}

void SynthCore::getParameterText(int32_t index, char* text) const {
    text[0] = 0;
    if (!isParameterIndex(index)) return;
    writeValueText(kParameterTable[index].text, parameters[index], text);
}
