// AudioEffect: the root of the plug-in class tree.
//
// The object embeds the effect record it hands to the host and turns every call of
// the record's functions into a call of one of its virtual operations. The order of
// the virtual operations below is the vtable order and must not change.
#pragma once

#include "host_interface/aeffect.h"

#include <cstdint>

// An editor window. Quillo has none; hosts that find one attached only call it.
class AEffEditor {
  public:
    virtual ~AEffEditor() {}
    virtual bool getRect(ERect** rect) = 0;
    virtual bool open(void* window) = 0;
    virtual void close() = 0;
    virtual void idle() = 0;
    virtual bool onKeyDown(VstKeyCode& keyCode) = 0;
    virtual bool onKeyUp(VstKeyCode& keyCode) = 0;
    virtual bool setKnobMode(int32_t mode) = 0;
};

class AudioEffect {
  public:
    AudioEffect(AudioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
    virtual ~AudioEffect();
    // The record points back at the object, so the object never moves or copies.
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}

    virtual void setSampleRate(float newSampleRate) { sampleRate = newSampleRate; }
    virtual void setBlockSize(int32_t newBlockSize) { blockSize = newBlockSize; }

    virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) = 0;
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/,
                                        int32_t /*sampleFrames*/) {}

    virtual void setParameter(int32_t /*index*/, float /*value*/) {}
    virtual float getParameter(int32_t /*index*/) { return 0.0f; }
    virtual void setParameterAutomated(int32_t index, float value);

    virtual int32_t getProgram() { return curProgram; }
    virtual void setProgram(int32_t program) { curProgram = program; }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name) { *name = 0; }

    virtual void getParameterLabel(int32_t /*index*/, char* label) { *label = 0; }
    virtual void getParameterDisplay(int32_t /*index*/, char* text) { *text = 0; }
    virtual void getParameterName(int32_t /*index*/, char* text) { *text = 0; }

    virtual int32_t getChunk(void** /*data*/, bool /*isPreset*/ = false) { return 0; }
    virtual int32_t setChunk(void* /*data*/, int32_t /*byteSize*/, bool /*isPreset*/ = false) {
        return 0;
    }

    virtual void setUniqueID(int32_t iD) { cEffect.uniqueID = iD; }
    virtual void setNumInputs(int32_t inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(int32_t outputs) { cEffect.numOutputs = outputs; }

    virtual void canProcessReplacing(bool state = true);
    virtual void canDoubleReplacing(bool state = true);
    virtual void programsAreChunks(bool state = true);
    virtual void setInitialDelay(int32_t delay) { cEffect.initialDelay = delay; }

    virtual AEffEditor* getEditor() { return editor; }
    virtual AEffect* getAeffect() { return &cEffect; }
    virtual float getSampleRate() { return sampleRate; }
    virtual int32_t getBlockSize() { return blockSize; }

    virtual int32_t getMasterVersion();
    virtual int32_t getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(int32_t input);
    virtual bool isOutputConnected(int32_t output);

    // Display texts for the host's generic controls. The buffer holds maxLen + 1
    // bytes: at most maxLen characters, and text[maxLen] is always zero.
    virtual void dB2string(float value, char* text, int32_t maxLen);
    virtual void Hz2string(float samples, char* text, int32_t maxLen);
    virtual void ms2string(float samples, char* text, int32_t maxLen);
    virtual void float2string(float value, char* text, int32_t maxLen);
    virtual void int2string(int32_t value, char* text, int32_t maxLen);

    // Deprecated accumulating processing and metering.
    virtual void process(float** /*inputs*/, float** /*outputs*/, int32_t /*sampleFrames*/) {}
    virtual float getVu() { return 0.0f; }
    virtual void hasVu(bool state = true);
    virtual void hasClip(bool state = true);
    virtual void canMono(bool state = true);
    virtual void setRealtimeQualities(int32_t qualities) { cEffect.realQualities = qualities; }
    virtual void setOfflineQualities(int32_t qualities) { cEffect.offQualities = qualities; }

  protected:
    void setFlag(int32_t flag, bool state);
    // Calls the host with this object's record; only when audioMaster is set.
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) {
        return audioMaster(&cEffect, opcode, index, value, ptr, opt);
    }

    AudioMasterCallback audioMaster; // null when created without a host
    AEffEditor* editor;              // owned; never attached in Quillo
    float sampleRate;                // Hz
    int32_t blockSize;               // most sample frames per processing call
    int32_t numPrograms;
    int32_t numParams;
    int32_t curProgram;
    AEffect cEffect;
};

// The plug-in's factory: creates the one concrete plug-in object, or returns null.
AudioEffect* createEffectInstance(AudioMasterCallback audioMaster);
