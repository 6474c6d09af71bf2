#include "engine/oscillator_pair.h"

#include "engine/engine_util.h"
#include "engine/random_source.h"
#include "engine/wavetable_bank.h"

#include <cmath>

namespace {

// Linear interpolation between neighbouring points; position in table points.
double readTable(const float* table, double position) {
    const int32_t i = engine::truncateToInt32(position);
    const double fraction = position - i;
    const double a = table[static_cast<uint32_t>(i) & engine::kTableMask];
    const double b = table[(static_cast<uint32_t>(i) + 1u) & engine::kTableMask];
    return a + fraction * (b - a);
}

// pulseEnd is the position of the second, subtracted saw reading; the pulse is low for
// (pulseEnd - phase) / 512 of the cycle and silent at an offset of 0 or 512.
double oscillatorSample(const WavetableBank& bank, int32_t wave, int32_t note, double phase,
                        double pulseEnd) {
    switch (wave) {
    case 0: return readTable(bank.sawTable(note), phase);
    case 1:
        return 0.5 *
               (readTable(bank.sawTable(note), phase) - readTable(bank.sawTable(note), pulseEnd));
    case 2: return readTable(bank.triangleTable(note), phase);
    case 3: return readTable(bank.sineTable(), phase);
    default: return random_source::nextSample(); // 4, noise
    }
}

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

OscillatorPair::Output OscillatorPair::tick(float pitchModulation, float pwm) {
    const double current = currentFrequency;
    const double target = targetFrequency;
    // An infinite frequency (tuning far outside its range) cannot glide back; it snaps.
    if (!glideEnabled || !std::isfinite(current)) {
        currentFrequency = target;
    } else if (glideDepthMode) {
        // No snap: once past the target it steps back by one factor a sample, so it keeps
        // alternating around the target unless it lands on it exactly.
        if (target > current)
            currentFrequency = current * glideRate;
        else if (target < current)
            currentFrequency = current * (1.0 / glideRate);
        else
            currentFrequency = target;
    } else {
        // An overshoot finds the multiplier pointing away on the next sample and snaps.
        if (current < target && glideMultiplier > 1.0)
            currentFrequency = current * glideMultiplier;
        else if (current > target && glideMultiplier < 1.0)
            currentFrequency = current * glideMultiplier;
        else
            currentFrequency = target;
    }

    // The power of two is taken again only when the modulation moves: never without a
    // pitch LFO, once per step of a square or sample-and-hold one.
    if (engine::floatBits(pitchModulation) != cachedPitchModulation) {
        cachedPitchModulation = engine::floatBits(pitchModulation);
        cachedPitchFactor = std::pow(2.0, static_cast<double>(pitchModulation));
    }
    const double f1 = cachedPitchFactor * currentFrequency;
    const double f2 = osc2Ratio * f1;
    // Exact boundaries instead of two logarithms; mostly the note of the last sample.
    const int32_t note1 = noteBrackets.find(f1, tableNote1);
    const int32_t note2 = noteBrackets.find(f2, tableNote2);
    tableNote1 = note1;
    tableNote2 = note2;

    phase1 += phaseScale * f1;
    phase2 += f2 * phaseScale;
    engine::wrapPhase(phase1);
    // Hard sync: oscillator 1 restarts at oscillator 2's reduced phase, unscaled.
    if (engine::wrapPhase(phase2) && syncEnabled) phase1 = phase2;

    // The pulse offsets are not reduced modulo 512; only the point indices are.
    const double pulseEnd1 =
        (pulseWidth1 + phase1) + static_cast<double>(pwm) * static_cast<double>(506.88f);
    const double pulseEnd2 = pulseWidth2 + phase2;

    Output out;
    out.out1 = static_cast<float>(oscillatorSample(*tables, wave1, note1, phase1, pulseEnd1));
    out.out2 = static_cast<float>(oscillatorSample(*tables, wave2, note2, phase2, pulseEnd2));
    return out;
}

void OscillatorPair::setWave1(float x) {
    wave1 = engine::fiveWayChoice(x);
}

void OscillatorPair::setWave2(float x) {
    wave2 = engine::fiveWayChoice(x);
}

void OscillatorPair::setGlide(float type, float amount) {
    if (type >= 0.5f) {
        glideDepthMode = true;
        glideRate = depthGlideRate(amount);
    } else {
        glideDepthMode = false;
        glideTime = static_cast<double>(amount) * amount * 2.99 + 0.01; // 0.01 .. 3 s
    }
}

void OscillatorPair::setGlideRate(float amount) {
    glideRate = depthGlideRate(amount);
}
