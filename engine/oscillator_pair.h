// Two wavetable oscillators sharing one gliding pitch.
//
// Oscillator 1 plays the note's current frequency; oscillator 2 runs at osc2Ratio
// times that. Phases are in table points (0..512).
//
// Threads: the audio thread ticks, retunes and starts notes; parameter changes come
// from the host's control thread through the setters and by writing the tuning, pulse
// width, sync and glide fields directly, and may land while a stretch plays.
#pragma once

#include "engine/engine_util.h"
#include "engine/random_source.h"
#include "engine/table_note.h"
#include "engine/wavetable_bank.h"

#include <cmath>
#include <cstdint>

struct OscillatorPair {
    // What each oscillator plays; the codes are the order of the "Wave1" and "Wave2"
    // choices.
    enum Waveform : int32_t { Saw = 0, Pulse = 1, Triangle = 2, Sine = 3, Noise = 4 };

    // The settings from their normalised parameter values; the value texts decode with
    // these too.
    static Waveform waveformFor(float x) { return static_cast<Waveform>(engine::fiveWayChoice(x)); }
    static bool isDepthGlide(float type) { return engine::isSecondChoice(type); }
    // "Time" glide duration: 0.01 s at 0 to 3 s at 1.
    static double glideSeconds(float amount) {
        return static_cast<double>(amount) * amount * 2.99 + 0.01;
    }

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
    Waveform wave1;              // oscillator 1's
    Waveform wave2;              // oscillator 2's
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

    // Control thread, at construction.
    void init();
    // Control thread, never while the audio thread ticks (the pitch table changes).
    void setSampleRate(float rate);
    // Control thread; may run beside the audio thread's ticks (a Step keeps the
    // waveforms its tables were chosen for).
    void setWave1(float x);
    void setWave2(float x);
    // Control thread; may run beside the ticks. Oscillator 1's pulse offset is x x 512
    // table points, 0..512; oscillator 2's x x 508 + 2, never silent.
    void setPulseWidth1(float x) { pulseWidth1 = static_cast<double>(x) * 512.0; }
    void setPulseWidth2(float x) { pulseWidth2 = static_cast<double>(x) * 508.0 + 2.0; }
    // Control thread; may run beside the ticks, which see the old or the new glide.
    // setGlide chooses the mode by type and sets its amount; the other two set the
    // amount of one mode and leave the mode as it is.
    void setGlide(float type, float amount);
    void setGlideTime(float amount) { glideTime = glideSeconds(amount); }
    void setGlideRate(float amount);
    // Audio thread, at the start of a block.
    void retune(int note);
    // Audio thread, from the MIDI intake between blocks.
    void startNote(int note);
    // Audio thread, once per sample. pitchModulation in octaves; pwm acts on oscillator
    // 1's pulse only.
    Output tick(float pitchModulation, float pwm);

    // For the staged render loop: tick in pieces, so that a stretch of samples can run
    // piece by piece. tick is play(frequencyStep(pitchModulation), pwm). Audio thread.

    // One sample's frequency work: the phase advances and the table notes.
    struct Step {
        double advance1; // table points
        double advance2;
        int32_t note1;
        int32_t note2;
        const float* table1; // the table each plays (the saw for a pulse; none for noise)
        const float* table2;
        // The waveforms the tables were chosen for, taken together with them: a host
        // thread switching a waveform while a stretch plays must not pair a new
        // waveform with an old table (noise has none).
        Waveform wave1;
        Waveform wave2;
    };

    // The glide step, the pitch modulation and the table notes of one sample; the same
    // as frequencyStepFor(pitchFactor(pitchModulation)).
    Step frequencyStep(float pitchModulation);
    // 2 to the power of the pitch modulation (octaves).
    double pitchFactor(float pitchModulation);
    // frequencyStep with the pitch factor already worked out.
    Step frequencyStepFor(double pitchFactor);
    // The rest of a tick: phases advanced, wrapped and synced, the tables read.
    Output play(const Step& step, float pwm);
    // With no glide under way, frequencyStep without pitch modulation gives the same
    // Step sample after sample, so one Step can play a stretch of samples.
    bool pitchStandsStill() const { return !glideEnabled || currentFrequency == targetFrequency; }
};

namespace engine {

// Linear interpolation between neighbouring points; position in table points.
inline double readTable(const float* table, double position) {
    const int32_t i = truncateToInt32(position);
    const double fraction = position - i;
    const double a = table[static_cast<uint32_t>(i) & kTableMask];
    const double b = table[(static_cast<uint32_t>(i) + 1u) & kTableMask];
    return a + fraction * (b - a);
}

// The table a waveform reads for a table note: the saw for saw and pulse, the
// triangle, the sine; none for noise.
inline const float* waveformTable(const WavetableBank& bank, OscillatorPair::Waveform wave,
                                  int32_t note) {
    switch (wave) {
    case OscillatorPair::Saw:
    case OscillatorPair::Pulse: return bank.sawTable(note);
    case OscillatorPair::Triangle: return bank.triangleTable(note);
    case OscillatorPair::Sine: return bank.sineTable();
    case OscillatorPair::Noise: break;
    }
    return nullptr;
}

// One oscillator's sample from its waveformTable, for every waveform but the pulse.
inline double waveformSample(const float* table, double phase) {
    if (!table) return random_source::nextSample(); // noise
    return readTable(table, phase);
}

// The pulse: the difference of two saw readings. pulseEnd is the position of the
// second, subtracted one; the pulse is low for (pulseEnd - phase) / 512 of the cycle and
// silent at an offset of 0 or 512.
inline double pulseSample(const float* sawTable, double phase, double pulseEnd) {
    // At width 0 both readings are of one position, and a finite reading minus itself
    // is exactly +0: a silent pulse costs no reading.
    if (pulseEnd == phase) return 0.0;
    return 0.5 * (readTable(sawTable, phase) - readTable(sawTable, pulseEnd));
}

} // namespace engine

// The per-sample operations are defined here so that the render loop compiles into
// one loop.
inline OscillatorPair::Output OscillatorPair::tick(float pitchModulation, float pwm) {
    return play(frequencyStep(pitchModulation), pwm);
}

inline OscillatorPair::Step OscillatorPair::frequencyStep(float pitchModulation) {
    return frequencyStepFor(pitchFactor(pitchModulation));
}

// The power of two is taken again only when the modulation moves: never without a
// pitch LFO, once per step of a square or sample-and-hold one.
inline double OscillatorPair::pitchFactor(float pitchModulation) {
    if (engine::floatBits(pitchModulation) != cachedPitchModulation) {
        cachedPitchModulation = engine::floatBits(pitchModulation);
        cachedPitchFactor = std::pow(2.0, static_cast<double>(pitchModulation));
    }
    return cachedPitchFactor;
}

inline OscillatorPair::Step OscillatorPair::frequencyStepFor(double pitchFactor) {
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

    const double f1 = pitchFactor * currentFrequency;
    const double f2 = osc2Ratio * f1;
    // Exact boundaries instead of two logarithms; mostly the note of the last sample.
    tableNote1 = noteBrackets.find(f1, tableNote1);
    tableNote2 = noteBrackets.find(f2, tableNote2);
    const Waveform waveform1 = wave1, waveform2 = wave2;
    return Step{phaseScale * f1,
                f2 * phaseScale,
                tableNote1,
                tableNote2,
                engine::waveformTable(*tables, waveform1, tableNote1),
                engine::waveformTable(*tables, waveform2, tableNote2),
                waveform1,
                waveform2};
}

inline OscillatorPair::Output OscillatorPair::play(const Step& step, float pwm) {
    phase1 += step.advance1;
    phase2 += step.advance2;
    engine::wrapPhase(phase1);
    // Hard sync: oscillator 1 restarts at oscillator 2's reduced phase, unscaled.
    if (engine::wrapPhase(phase2) && syncEnabled) phase1 = phase2;

    // The pulse offsets are not reduced modulo 512; only the point indices are.
    Output out;
    out.out1 = static_cast<float>(
        step.wave1 == Pulse
            ? engine::pulseSample(step.table1, phase1,
                                  (pulseWidth1 + phase1) +
                                      static_cast<double>(pwm) * static_cast<double>(506.88f))
            : engine::waveformSample(step.table1, phase1));
    out.out2 = static_cast<float>(
        step.wave2 == Pulse ? engine::pulseSample(step.table2, phase2, pulseWidth2 + phase2)
                            : engine::waveformSample(step.table2, phase2));
    return out;
}
