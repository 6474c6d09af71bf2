// VstXSynth: Quillo as a VST 2 instrument.
//
// The class the entry point instantiates: the AudioEffectX part with the effect
// record, and right after it the instrument itself, so one allocation holds the
// whole plug-in (plus one for its programs). Each operation turns a VST 2 call into
// the instrument's operations; the audio path (processEvents, processReplacing)
// allocates nothing, locks nothing and calls no host function.
#pragma once

#include "host_interface/audio_effect_x.h"
#include "synth/synth_core.h"

class VstXSynth : public AudioEffectX, public SynthCore {
  public:
    explicit VstXSynth(AudioMasterCallback audioMaster);

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
};
