// VstXSynth: the one concrete plug-in class, a monophonic two-oscillator synth.
//
// One object holds the whole instrument: the parameter mirror, the voice, the note
// memory and every engine unit by value, the wavetables included (about 520 KB), so
// an instance is one allocation plus one for its 32 programs. Nothing is allocated
// afterwards: the audio path (processEvents, processReplacing) allocates nothing,
// locks nothing and calls no host function.
#pragma once

#include "engine/envelope.h"
#include "engine/lfo.h"
#include "engine/oscillator_pair.h"
#include "engine/resonant_filter.h"
#include "engine/wavetable_bank.h"
#include "host_interface/audio_effect_x.h"
#include "synth/note_memory.h"
#include "synth/parameters.h"
#include "synth/program_record.h"
#include "synth/render_steps.h"

class VstXSynth : public AudioEffectX {
  public:
    explicit VstXSynth(AudioMasterCallback audioMaster);
    ~VstXSynth() override;

    void resume() override;
    void setSampleRate(float rate) override;
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;

    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    void setProgram(int32_t program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterDisplay(int32_t index, char* text) override;
    void getParameterName(int32_t index, char* text) override;

    int32_t processEvents(VstEvents* events) override;

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32_t getVendorVersion() override;
    int32_t canDo(char* text) override;

  protected:
    void prepareEngine(float rate);
    void applyParameter(const ParameterInfo& info, float value);
    void noteOn(uint8_t key, uint8_t velocity, int32_t deltaFrames);
    void noteOff(uint8_t key);
    // The per-sample chain of processReplacing over frames first..frames-1, and the
    // two ways it runs (see render_loop.cpp).
    void renderFrames(float* left, float* right, int32_t first, int32_t frames,
                      const render_steps::BlockValues& block);
    template <bool kSteadyPitch, bool kModulated, bool kSweptCutoff>
    void renderStretch(float* left, float* right, int32_t n,
                       const render_steps::BlockValues& block);
    void renderSampleBySample(float* left, float* right, int32_t first, int32_t frames,
                              const render_steps::BlockValues& block);

    // The value last set for each parameter; reads, texts and the render loop use it.
    float parameters[kNumParameters];
    ProgramRecord* programs;
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
    float heldValue; // the sample-and-hold value both LFOs share
};
