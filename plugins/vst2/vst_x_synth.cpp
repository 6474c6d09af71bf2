#include "plugins/vst2/vst_x_synth.h"

#include "synth/identity.h"

#include <cstring>
#include <new>

// The instrument part is built for 44100 Hz with program 0 loaded by the time the
// body runs.
VstXSynth::VstXSynth(AudioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParameters) {
    // Without a host the record keeps the base values.
    if (audioMaster) {
        canProcessReplacing();
        isSynth();
        setNumInputs(0);
        setNumOutputs(2);
        setUniqueID(identity::kVst2UniqueId);
    }
}

void VstXSynth::setSampleRate(float rate) {
    if (!isUsableSampleRate(rate)) return;
    AudioEffectX::setSampleRate(rate);
    SynthCore::setSampleRate(rate);
}

void VstXSynth::resume() {
    char midiCapability[] = "receiveVstMidiEvent";
    if ((cEffect.flags & effFlagsIsSynth) || canDo(midiCapability) == 1) wantEvents(1);
}

void VstXSynth::processReplacing(float** /*inputs*/, float** outputs, int32_t sampleFrames) {
    if (!outputs || !outputs[0] || !outputs[1]) return;
    render(outputs[0], outputs[1], sampleFrames);
}

void VstXSynth::setParameter(int32_t index, float value) {
    SynthCore::setParameter(index, value);
}

float VstXSynth::getParameter(int32_t index) {
    return SynthCore::getParameter(index);
}

// The base's program number answers effGetProgram; the instrument keeps its own.
void VstXSynth::setProgram(int32_t program) {
    if (program < 0 || program >= kNumPrograms) return;
    curProgram = program;
    SynthCore::setProgram(program);
}

void VstXSynth::setProgramName(char* name) {
    SynthCore::setProgramName(name);
}

void VstXSynth::getProgramName(char* name) {
    if (!name) return;
    std::strcpy(name, programName(curProgram));
}

// Hosts give room for the longest name, nine characters and the terminating zero.
void VstXSynth::getParameterName(int32_t index, char* text) {
    const char* name = parameterName(index);
    if (!text || !name) return;
    std::strcpy(text, name);
}

void VstXSynth::getParameterDisplay(int32_t index, char* text) {
    if (!text) return;
    if (index == kVolume)
        dB2string(SynthCore::getParameter(index), text, kMaxValueTextLength);
    else
        getParameterText(index, text);
}

// Only the list is walked here; each MIDI message goes to the instrument with its
// frame. Hosts allocate the list with room for numEvents pointers.
int32_t VstXSynth::processEvents(VstEvents* events) {
    if (!events) return 1;
    VstEvent* const* list = events->events;
    for (int32_t i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = list[i];
        if (!event || event->type != kVstMidiType) continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        receiveMidi(reinterpret_cast<const uint8_t*>(midi->midiData), midi->deltaFrames);
    }
    return 1;
}

bool VstXSynth::getEffectName(char* name) {
    if (!name) return false;
    std::strcpy(name, identity::kName);
    return true;
}

bool VstXSynth::getVendorString(char* text) {
    if (!text) return false;
    std::strcpy(text, identity::kVendor);
    return true;
}

bool VstXSynth::getProductString(char* text) {
    if (!text) return false;
    std::strcpy(text, identity::kName);
    return true;
}

int32_t VstXSynth::getVendorVersion() {
    return identity::kVersion;
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
