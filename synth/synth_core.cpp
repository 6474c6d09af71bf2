#include "synth/synth_core.h"

#include <cmath>

namespace {
constexpr float kInitialSampleRate = 44100.0f;
} // namespace

// The filter, envelopes and LFOs start from their members' initial values; the
// oscillator pair has an explicit init.
SynthCore::SynthCore() {
    oscillators.init();

    for (float& value : parameters)
        value = 0.0f;
    currentNote = 0;
    pendingNoteOffset = 0;
    voiceActive = false;
    noteMemory.clear();
    heldValue = 0.0f;

    oscillators.tables = &wavetables;
    prepareEngine(kInitialSampleRate);

    // A failed allocation throws out of the constructor.
    programs.reset(new ProgramRecord[kNumPrograms]);
    setProgram(0);
}

// Tables and rate factors only: values already derived from parameters (envelope
// steps, LFO increments, the glide rate) keep the rate they were worked out at.
void SynthCore::prepareEngine(float rate) {
    wavetables.rebuild(rate);
    oscillators.setSampleRate(rate);
    filter.setSampleRate(rate);
    envelope1.setSampleRate(rate);
    envelope2.setSampleRate(rate);
    lfo1.setSampleRate(rate);
    lfo2.setSampleRate(rate);
}

bool SynthCore::isUsableSampleRate(float rate) {
    return rate > 0.0f && std::isfinite(rate);
}

void SynthCore::setSampleRate(float rate) {
    if (!isUsableSampleRate(rate)) return;
    prepareEngine(rate);
}
