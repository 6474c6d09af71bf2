#include "engine/oscillator_pair.h"

#include "engine/engine_util.h"
#include "engine/wavetable_bank.h"

#include <cmath>

namespace {

double depthGlideRate(float amount) {
    // (1 - 0.99 amount) x 0.000833 octave per sample, whatever the sample rate.
    return std::pow(2.0, (1.0 - amount * 0.99) * 0.000833);
}

} // namespace

void OscillatorPair::init() {
    *this = OscillatorPair{}; // all zero, no bank, flags clear, saw on both
    targetFrequency = 1.0;
    currentFrequency = 1.0; // so the first glide after construction starts from 1 Hz
    tuning1 = 1.0;
    tuning2 = 1.0;
    osc2Ratio = 1.0;
    cachedPitchModulation = engine::floatBits(0.0f);
    cachedPitchFactor = 1.0; // pow(2, 0) is exactly 1
    tableNote1 = 0;
    tableNote2 = 0;
    noteBrackets.build();
}

void OscillatorPair::setSampleRate(float rate) {
    sampleRate = rate;
    phaseScale = 512.0 / rate;
    engine::fillPitchTable(pitchTable);
}

void OscillatorPair::retune(int note) {
    targetFrequency = pitchTable[note] * tuning1;
    osc2Ratio = tuning2 / tuning1;
}

void OscillatorPair::startNote(int note) {
    phase1 = 0.0;
    phase2 = 0.0;
    retune(note);
    // Worked out even with glide off, from wherever the last note left the frequency.
    if (!glideDepthMode)
        glideMultiplier =
            std::pow(targetFrequency / currentFrequency, 1.0 / (sampleRate * glideTime));
}

void OscillatorPair::setWave1(float x) {
    wave1 = waveformFor(x);
}

void OscillatorPair::setWave2(float x) {
    wave2 = waveformFor(x);
}

void OscillatorPair::setGlide(float type, float amount) {
    if (isDepthGlide(type)) {
        glideDepthMode = true;
        setGlideRate(amount);
    } else {
        glideDepthMode = false;
        setGlideTime(amount);
    }
}

void OscillatorPair::setGlideRate(float amount) {
    glideRate = depthGlideRate(amount);
}
