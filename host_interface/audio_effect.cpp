#include "host_interface/audio_effect.h"

#include <cstring>

namespace {

constexpr int32_t kBaseUniqueID = fourCharCode('N', 'o', 'E', 'f');
constexpr int32_t kIdentifyAnswer = fourCharCode('N', 'v', 'E', 'f');

AudioEffect* objectOf(AEffect* effect) {
    return static_cast<AudioEffect*>(effect->object);
}

// The record's functions: the host reaches the object only through these.

intptr_t recordDispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                          float opt) {
    AudioEffect* object = objectOf(effect);
    if (opcode == effClose) {
        // The host is told 1 whatever the object says: after this the record is gone.
        object->dispatcher(opcode, index, value, ptr, opt);
        delete object;
        return 1;
    }
    return object->dispatcher(opcode, index, value, ptr, opt);
}

void recordProcess(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames) {
    objectOf(effect)->process(inputs, outputs, sampleFrames);
}

void recordSetParameter(AEffect* effect, int32_t index, float value) {
    objectOf(effect)->setParameter(index, value);
}

float recordGetParameter(AEffect* effect, int32_t index) {
    return objectOf(effect)->getParameter(index);
}

void recordProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                            int32_t sampleFrames) {
    objectOf(effect)->processReplacing(inputs, outputs, sampleFrames);
}

void recordProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                  int32_t sampleFrames) {
    objectOf(effect)->processDoubleReplacing(inputs, outputs, sampleFrames);
}

} // namespace

AudioEffect::AudioEffect(AudioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams)
    : audioMaster(audioMaster), editor(nullptr), sampleRate(44100.0f), blockSize(1024),
      numPrograms(numPrograms), numParams(numParams), curProgram(0) {
    std::memset(&cEffect, 0, sizeof(cEffect));

    cEffect.flags |= effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.magic = kEffectMagic;
    cEffect.numInputs = 1;
    cEffect.version = 1;

    cEffect.dispatcher = recordDispatcher;
    cEffect.process = recordProcess;
    cEffect.setParameter = recordSetParameter;
    cEffect.getParameter = recordGetParameter;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numOutputs = 2;
    cEffect.object = this;
    cEffect.uniqueID = kBaseUniqueID;
    cEffect.processReplacing = recordProcessReplacing;
    cEffect.processDoubleReplacing = recordProcessDoubleReplacing;
}

AudioEffect::~AudioEffect() {
    delete editor;
}

// Opcodes 0..24. Every operation that reads or writes through ptr is skipped when
// ptr is null, and the host gets 0.
intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt) {
    char* text = static_cast<char*>(ptr);
    const bool isPreset = index != 0;

    switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 0;
    case effSetProgram:
        if (value >= 0 && value < numPrograms) setProgram(static_cast<int32_t>(value));
        return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName:
        if (text) setProgramName(text);
        return 0;
    case effGetProgramName:
        if (text) getProgramName(text);
        return 0;
    case effGetParamLabel:
        if (text) getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        if (text) getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        if (text) getParameterName(index, text);
        return 0;
    case effGetVu: return 0;
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize(static_cast<int32_t>(value)); return 0;
    case effMainsChanged:
        if (value == 0) {
            suspend();
        } else {
            resume();
        }
        return 0;
    case effEditGetRect:
        if (!editor || !ptr) return 0;
        return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
        if (!editor) return 0;
        return editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (editor) editor->close();
        return 0;
    case effEditDraw: return 0;
    case effEditMouse: return 0;
    case effEditKey: return 0;
    case effEditIdle:
        if (editor) editor->idle();
        return 0;
    case effEditTop: return 0;
    case effEditSleep: return 0;
    case effIdentify: return kIdentifyAnswer;
    case effGetChunk:
        if (!ptr) return 0;
        return getChunk(static_cast<void**>(ptr), isPreset);
    case effSetChunk:
        if (!ptr) return 0;
        return setChunk(ptr, static_cast<int32_t>(value), isPreset);
    default: return 0;
    }
}

void AudioEffect::setParameterAutomated(int32_t index, float value) {
    setParameter(index, value);
    if (audioMaster) callHost(audioMasterAutomate, index, 0, nullptr, value);
}

// ---- Flags ----

void AudioEffect::setFlag(int32_t flag, bool state) {
    if (state) {
        cEffect.flags |= flag;
    } else {
        cEffect.flags &= ~flag;
    }
}

void AudioEffect::canProcessReplacing(bool state) {
    setFlag(effFlagsCanReplacing, state);
}
void AudioEffect::canDoubleReplacing(bool state) {
    setFlag(effFlagsCanDoubleReplacing, state);
}
void AudioEffect::programsAreChunks(bool state) {
    setFlag(effFlagsProgramChunks, state);
}
void AudioEffect::hasVu(bool state) {
    setFlag(effFlagsHasVu, state);
}
void AudioEffect::hasClip(bool state) {
    setFlag(effFlagsHasClip, state);
}
void AudioEffect::canMono(bool state) {
    setFlag(effFlagsCanMono, state);
}

// ---- Host calls ----

int32_t AudioEffect::getMasterVersion() {
    if (!audioMaster) return 1;
    const intptr_t version = callHost(audioMasterVersion);
    // A host that answers 0 still speaks version 1 of the interface.
    return version == 0 ? 1 : static_cast<int32_t>(version);
}

int32_t AudioEffect::getCurrentUniqueId() {
    if (!audioMaster) return 0;
    return static_cast<int32_t>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() {
    if (audioMaster) callHost(audioMasterIdle);
}

// The host answers 0 for a connected pin; without a host every pin counts as connected.
bool AudioEffect::isInputConnected(int32_t input) {
    if (!audioMaster) return true;
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(int32_t output) {
    if (!audioMaster) return true;
    return callHost(audioMasterPinConnected, output, 1) == 0;
}
