#include "host_interface/audio_effect_x.h"

#include <cmath>

namespace {

// The key opcodes carry the character in index, the virtual key in the low byte of
// value and the modifiers in the low byte of opt.
VstKeyCode makeKeyCode(int32_t index, intptr_t value, float opt) {
    VstKeyCode key{};
    key.character = index;
    key.virt = static_cast<uint8_t>(value & 0xFF);
    // opt outside the int32 range (or NaN) has no integer to truncate to: no modifiers.
    const bool inRange = opt > -2147483649.0f && opt < 2147483648.0f;
    key.modifier = inRange ? static_cast<uint8_t>(static_cast<int32_t>(opt) & 0xFF) : 0;
    return key;
}

} // namespace

// Opcodes 25..79; everything else goes to AudioEffect::dispatcher. As there, an
// operation that reads or writes through ptr (or through value used as an address)
// is skipped when that pointer is null, and the host gets 0.
intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
    char* text = static_cast<char*>(ptr);
    const int32_t value32 = static_cast<int32_t>(value);

    switch (opcode) {
    case effProcessEvents:
        if (!ptr) return 0;
        return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated: return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        if (!text) return 0;
        return string2parameter(index, text) ? 1 : 0;
    case effGetProgramNameIndexed:
        if (!text) return 0;
        return getProgramNameIndexed(value32, index, text) ? 1 : 0;
    case effGetInputProperties:
        if (!ptr) return 0;
        return getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        if (!ptr) return 0;
        return getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory: return getPlugCategory();
    case effOfflineNotify:
        if (!ptr) return 0;
        return offlineNotify(static_cast<VstAudioFile*>(ptr), value32, index != 0) ? 1 : 0;
    case effOfflinePrepare:
        if (!ptr) return 0;
        return offlinePrepare(static_cast<VstOfflineTask*>(ptr), value32) ? 1 : 0;
    case effOfflineRun:
        if (!ptr) return 0;
        return offlineRun(static_cast<VstOfflineTask*>(ptr), value32) ? 1 : 0;
    case effProcessVarIo:
        if (!ptr) return 0;
        return processVariableIo(static_cast<VstVariableIo*>(ptr)) ? 1 : 0;
    case effSetSpeakerArrangement:
        if (!value || !ptr) return 0;
        return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                     static_cast<VstSpeakerArrangement*>(ptr))
                   ? 1
                   : 0;
    case effSetBypass: return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
        if (!text) return 0;
        return getEffectName(text) ? 1 : 0;
    case effGetVendorString:
        if (!text) return 0;
        return getVendorString(text) ? 1 : 0;
    case effGetProductString:
        if (!text) return 0;
        return getProductString(text) ? 1 : 0;
    case effGetVendorVersion: return getVendorVersion();
    case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        if (!text) return 0;
        return canDo(text);
    case effGetTailSize: return getGetTailSize();
    case effGetParameterProperties:
        if (!ptr) return 0;
        return getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1 : 0;
    case effGetVstVersion: return getVstVersion();
    case effEditKeyDown: {
        if (!editor) return 0;
        VstKeyCode key = makeKeyCode(index, value, opt);
        return editor->onKeyDown(key) ? 1 : 0;
    }
    case effEditKeyUp: {
        if (!editor) return 0;
        VstKeyCode key = makeKeyCode(index, value, opt);
        return editor->onKeyUp(key) ? 1 : 0;
    }
    case effSetEditKnobMode:
        if (!editor) return 0;
        return editor->setKnobMode(value32) ? 1 : 0;
    case effGetMidiProgramName:
        if (!ptr) return 0;
        return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram:
        // The default reads nothing through ptr and answers -1 ("no MIDI programs") even
        // when a host probes with a null record.
        return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
        if (!ptr) return 0;
        return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
    case effHasMidiProgramsChanged: return hasMidiProgramsChanged(index) ? 1 : 0;
    case effGetMidiKeyName:
        if (!ptr) return 0;
        return getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)) ? 1 : 0;
    case effBeginSetProgram: return beginSetProgram() ? 1 : 0;
    case effEndSetProgram: return endSetProgram() ? 1 : 0;
    case effGetSpeakerArrangement:
        if (!value || !ptr) return 0;
        return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                     static_cast<VstSpeakerArrangement**>(ptr))
                   ? 1
                   : 0;
    case effShellGetNextPlugin:
        if (!text) return 0;
        return getNextShellPlugin(text);
    case effStartProcess: return startProcess();
    case effStopProcess: return stopProcess();
    case effSetTotalSampleToProcess: return setTotalSampleToProcess(value32);
    case effSetPanLaw: return setPanLaw(value32, opt) ? 1 : 0;
    case effBeginLoadBank:
        if (!ptr) return 0;
        return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
    case effBeginLoadProgram:
        if (!ptr) return 0;
        return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
    case effSetProcessPrecision: return setProcessPrecision(value32) ? 1 : 0;
    case effGetNumMidiInputChannels: return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels: return getNumMidiOutputChannels();
    default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                         VstSpeakerArrangement** pluginOutput) {
    *pluginInput = nullptr;
    *pluginOutput = nullptr;
    return false;
}

int32_t AudioEffectX::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

// ---- Flags ----

void AudioEffectX::isSynth(bool state) {
    setFlag(effFlagsIsSynth, state);
}
void AudioEffectX::noTail(bool state) {
    setFlag(effFlagsNoSoundInStop, state);
}
void AudioEffectX::wantAsyncOperation(bool state) {
    setFlag(effFlagsExtIsAsync, state);
}
void AudioEffectX::hasExternalBuffer(bool state) {
    setFlag(effFlagsExtHasBuffer, state);
}
