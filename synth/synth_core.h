// SynthCore: the whole instrument, free of any plug-in format.
//
// One object holds the parameter mirror, the voice, the note memory and every engine
// unit by value, the wavetables included (about 520 KB), so an instance is one
// allocation plus one for its 32 programs. Nothing is allocated afterwards. Each
// front-end (VST 2, LV2, JACK) turns its format's calls into the operations below.
//
// Threads: a front-end has a control side (set-up, parameter and program changes,
// names and texts) and an audio side (receiveMidi, render). Neither side locks: a
// parameter or program change may land while a block renders, and the block then
// uses whatever values it finds (each value is one aligned word, so no value is torn;
// a program load may be heard half applied for one block). setSampleRate rebuilds
// tables the audio side reads, so it must never run beside render.
#pragma once

#include "engine/envelope.h"
#include "engine/lfo.h"
#include "engine/oscillator_pair.h"
#include "engine/resonant_filter.h"
#include "engine/wavetable_bank.h"
#include "synth/note_memory.h"
#include "synth/parameters.h"
#include "synth/program_record.h"
#include "synth/render_steps.h"

#include <cstdint>
#include <memory>

class SynthCore {
  public:
    // Built for 44100 Hz with 32 default programs and program 0 loaded. Throws
    // std::bad_alloc when the programs cannot be allocated. Control thread.
    SynthCore();
    SynthCore(const SynthCore&) = delete;
    SynthCore& operator=(const SynthCore&) = delete;

    // Only a positive, finite rate is applied: anything else would turn every later
    // sample into NaN or infinity for the life of the instance.
    static bool isUsableSampleRate(float rate);
    // Rebuilds the wavetables (unless they already hold what this rate gives, as when a
    // host sets the rate of creation again) and every rate factor; values already
    // derived from parameters (envelope steps, LFO increments, the glide rate) keep the
    // rate they were worked out at. An unusable rate is ignored. Control thread, never
    // beside render.
    void setSampleRate(float rate);

    // Stores the value in the current program and the mirror and applies it to the
    // engine. Out-of-range indices and non-finite values are ignored. Control or
    // audio thread; may run beside render.
    void setParameter(int32_t index, float value);
    // The mirror value; 0 for an index out of range. Any thread.
    float getParameter(int32_t index) const;
    // Name of a parameter, or null for an index out of range. Any thread.
    static const char* parameterName(int32_t index);
    // The value text of every parameter but "Volume", whose decibel text a front-end
    // writes in its own format's way; text holds kMaxValueTextLength + 1 bytes and is
    // left empty for an index out of range or for "Volume". Any thread.
    void getParameterText(int32_t index, char* text) const;

    // Makes the program current and loads its 36 values through setParameter in
    // index order. Numbers outside 0..31 are ignored. Control thread; may run beside
    // render.
    void setProgram(int32_t program);
    int32_t program() const { return currentProgram; }
    // Renames the current program; a longer name is cut to 23 characters. Control
    // thread.
    void setProgramName(const char* name);
    // Name of any program, or null for a number out of range. Any thread.
    const char* programName(int32_t program) const;

    // Takes one MIDI message: status, first and second data byte (pad a shorter
    // message with zeros), acting at deltaFrames within the next rendered block.
    // Audio thread, before the render of the block it belongs to.
    void receiveMidi(const uint8_t* bytes, int32_t deltaFrames);

    // Writes the voice's next frames to both outputs (the same samples). Frames of 0
    // or less write nothing. Audio thread.
    void render(float* left, float* right, int32_t frames);

  protected:
    void prepareEngine(float rate);
    void applyParameter(const ParameterInfo& info, float value);
    void noteOn(uint8_t key, uint8_t velocity, int32_t deltaFrames);
    void noteOff(uint8_t key);
    // The per-sample chain of render over frames first..frames-1, and the two ways it
    // runs (see render_loop.cpp).
    void renderSampleBySample(float* left, float* right, int32_t first, int32_t frames,
                              const render_steps::BlockValues& block);
    void renderFrames(float* left, float* right, int32_t first, int32_t frames,
                      const render_steps::BlockValues& block);
    template <bool kSteadyPitch, bool kModulated, bool kMovingCutoff>
    void renderStretch(float* left, float* right, int32_t n,
                       const render_steps::BlockValues& block);

    // The value last set for each parameter; reads, texts and the render loop use it.
    float parameters[kNumParameters];
    std::unique_ptr<ProgramRecord[]> programs;
    int32_t currentNote;       // the key the oscillators play
    int32_t pendingNoteOffset; // frame of the next block at which a fresh note begins
    bool voiceActive;
    NoteMemory noteMemory;
    WavetableBank wavetables;
    OscillatorPair oscillators;
    ResonantFilter filter;
    Envelope envelope1; // cutoff
    Envelope envelope2; // amplitude
    Lfo lfo1;
    Lfo lfo2;
    float heldValue;            // the sample-and-hold value both LFOs share
    int32_t currentProgram = 0; // the program that parameter changes land in
};
