#include "synth/vst_x_synth.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {
constexpr int32_t kUniqueID = fourCharCode('q', 'l', 'o', '1');
constexpr float kInitialSampleRate = 44100.0f;
} // namespace

// The filter, envelopes and LFOs start from their members' initial values; the
// oscillator pair has an explicit init.
VstXSynth::VstXSynth(AudioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParameters), programs(nullptr) {
    oscillators.init();

    // Without a host the record keeps the base values.
    if (audioMaster) {
        canProcessReplacing();
        isSynth();
        setNumInputs(0);
        setNumOutputs(2);
        setUniqueID(kUniqueID);
    }

    for (float& value : parameters)
        value = 0.0f;
    currentNote = 0;
    pendingNoteOffset = 0;
    voiceActive = false;
    noteMemory.clear();
    heldValue = 0.0f;

    oscillators.tables = &wavetables;
    prepareEngine(kInitialSampleRate);

    // A failed allocation throws out of the constructor, and the factory gives null.
    programs = new ProgramRecord[kNumPrograms];
    setProgram(0);
}

VstXSynth::~VstXSynth() {
    delete[] programs;
}

// Tables and rate factors only: values already derived from parameters (envelope
// steps, LFO increments, the glide rate) keep the rate they were worked out at.
void VstXSynth::prepareEngine(float rate) {
    wavetables.rebuild(rate);
    oscillators.setSampleRate(rate);
    filter.setSampleRate(rate);
    envelope1.setSampleRate(rate);
    envelope2.setSampleRate(rate);
    lfo1.setSampleRate(rate);
    lfo2.setSampleRate(rate);
}

void VstXSynth::setSampleRate(float rate) {
    // Anything but a positive finite rate would turn every later sample into NaN or
    // infinity for the life of the instance; keep the rate we have.
    if (!(rate > 0.0f) || !std::isfinite(rate)) return;
    AudioEffectX::setSampleRate(rate);
    prepareEngine(rate);
}

void VstXSynth::resume() {
    char midiCapability[] = "receiveVstMidiEvent";
    if ((cEffect.flags & effFlagsIsSynth) || canDo(midiCapability) == 1) wantEvents(1);
}

bool VstXSynth::getEffectName(char* name) {
    if (!name) return false;
    std::strcpy(name, "Quillo");
    return true;
}

bool VstXSynth::getVendorString(char* text) {
    if (!text) return false;
    std::strcpy(text, "Mirefold");
    return true;
}

bool VstXSynth::getProductString(char* text) {
    if (!text) return false;
    std::strcpy(text, "Quillo");
    return true;
}

int32_t VstXSynth::getVendorVersion() {
    return 1000;
}

// Exact matches only: no case folding, no prefixes.
int32_t VstXSynth::canDo(char* text) {
    if (!text) return -1;
    if (std::strcmp(text, "receiveVstEvents") == 0) return 1;
    if (std::strcmp(text, "receiveVstMidiEvent") == 0) return 1;
    return -1;
}

// One allocation for the whole object; a failed allocation or constructor gives null.
AudioEffect* createEffectInstance(AudioMasterCallback audioMaster) {
    try {
        return new (std::nothrow) VstXSynth(audioMaster);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
