// AudioEffectX's calls back into the host. Without a host callback each one
// answers its default and calls nothing.

#include "host_interface/audio_effect_x.h"

bool AudioEffectX::beginEdit(int32_t index) {
    if (!audioMaster) return false;
    return callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(int32_t index) {
    if (!audioMaster) return false;
    return callHost(audioMasterEndEdit, index) != 0;
}

bool AudioEffectX::ioChanged() {
    if (!audioMaster) return false;
    return callHost(audioMasterIOChanged) != 0;
}

// A host answer that is not positive keeps the rate we have.
double AudioEffectX::updateSampleRate() {
    if (audioMaster) {
        const intptr_t rate = callHost(audioMasterGetSampleRate);
        if (rate > 0) sampleRate = static_cast<float>(rate);
    }
    return sampleRate;
}

int32_t AudioEffectX::updateBlockSize() {
    if (audioMaster) {
        const intptr_t size = callHost(audioMasterGetBlockSize);
        if (size > 0) blockSize = static_cast<int32_t>(size);
    }
    return blockSize;
}

int32_t AudioEffectX::getInputLatency() {
    if (!audioMaster) return 0;
    return static_cast<int32_t>(callHost(audioMasterGetInputLatency));
}

int32_t AudioEffectX::getOutputLatency() {
    if (!audioMaster) return 0;
    return static_cast<int32_t>(callHost(audioMasterGetOutputLatency));
}

VstTimeInfo* AudioEffectX::getTimeInfo(int32_t filter) {
    if (!audioMaster) return nullptr;
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

int32_t AudioEffectX::getCurrentProcessLevel() {
    if (!audioMaster) return 0;
    return static_cast<int32_t>(callHost(audioMasterGetCurrentProcessLevel));
}

int32_t AudioEffectX::getAutomationState() {
    if (!audioMaster) return 0;
    return static_cast<int32_t>(callHost(audioMasterGetAutomationState));
}

bool AudioEffectX::getHostVendorString(char* text) {
    if (!audioMaster) return false;
    return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool AudioEffectX::getHostProductString(char* text) {
    if (!audioMaster) return false;
    return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

int32_t AudioEffectX::getHostVendorVersion() {
    if (!audioMaster) return 0;
    return static_cast<int32_t>(callHost(audioMasterGetVendorVersion));
}

intptr_t AudioEffectX::hostVendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
    if (!audioMaster) return 0;
    return callHost(audioMasterVendorSpecific, index, value, ptr, opt);
}

int32_t AudioEffectX::canHostDo(char* text) {
    if (!audioMaster) return 0;
    return callHost(audioMasterCanDo, 0, 0, text) != 0 ? 1 : 0;
}

int32_t AudioEffectX::getHostLanguage() {
    if (!audioMaster) return 0;
    return static_cast<int32_t>(callHost(audioMasterGetLanguage));
}

void* AudioEffectX::getDirectory() {
    if (!audioMaster) return nullptr;
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}

bool AudioEffectX::updateDisplay() {
    if (!audioMaster) return false;
    return callHost(audioMasterUpdateDisplay) != 0;
}

bool AudioEffectX::sizeWindow(int32_t width, int32_t height) {
    if (!audioMaster) return false;
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

bool AudioEffectX::openFileSelector(VstFileSelect* selector) {
    if (!audioMaster || !selector) return false;
    return callHost(audioMasterOpenFileSelector, 0, 0, selector) != 0;
}

bool AudioEffectX::closeFileSelector(VstFileSelect* selector) {
    if (!audioMaster || !selector) return false;
    return callHost(audioMasterCloseFileSelector, 0, 0, selector) != 0;
}

// ---- Offline processing ----

bool AudioEffectX::offlineRead(VstOfflineTask* offline, int32_t option, bool readSource) {
    if (!audioMaster) return false;
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, int32_t option) {
    if (!audioMaster) return false;
    return callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}

bool AudioEffectX::offlineStart(VstAudioFile* audioFiles, int32_t numAudioFiles,
                                int32_t numNewAudioFiles) {
    if (!audioMaster) return false;
    return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, audioFiles) != 0;
}

int32_t AudioEffectX::offlineGetCurrentPass() {
    if (!audioMaster) return 0;
    return callHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0;
}

int32_t AudioEffectX::offlineGetCurrentMetaPass() {
    if (!audioMaster) return 0;
    return callHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}

// ---- Deprecated host calls ----

void AudioEffectX::wantEvents(int32_t filter) {
    if (audioMaster) callHost(audioMasterWantMidi, 0, filter);
}

int32_t AudioEffectX::tempoAt(int32_t pos) {
    if (!audioMaster) return 0;
    return static_cast<int32_t>(callHost(audioMasterTempoAt, 0, pos));
}

int32_t AudioEffectX::getNumAutomatableParameters() {
    if (!audioMaster) return 0;
    return static_cast<int32_t>(callHost(audioMasterGetNumAutomatableParameters));
}

int32_t AudioEffectX::getParameterQuantization() {
    if (!audioMaster) return 0;
    return static_cast<int32_t>(callHost(audioMasterGetParameterQuantization));
}

bool AudioEffectX::needIdle() {
    if (!audioMaster) return false;
    return callHost(audioMasterNeedIdle) != 0;
}

// The pin number is not part of the request: the host knows only one neighbour each way.
AEffect* AudioEffectX::getPreviousPlug(int32_t /*input*/) {
    if (!audioMaster) return nullptr;
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug));
}

AEffect* AudioEffectX::getNextPlug(int32_t /*output*/) {
    if (!audioMaster) return nullptr;
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug));
}

int32_t AudioEffectX::willProcessReplacing() {
    if (!audioMaster) return 0;
    return static_cast<int32_t>(callHost(audioMasterWillReplaceOrAccumulate));
}

void AudioEffectX::setOutputSamplerate(float samplerate) {
    if (audioMaster) callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate);
}

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement() {
    if (!audioMaster) return nullptr;
    return reinterpret_cast<VstSpeakerArrangement*>(
        callHost(audioMasterGetInputSpeakerArrangement));
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement() {
    if (!audioMaster) return nullptr;
    return reinterpret_cast<VstSpeakerArrangement*>(
        callHost(audioMasterGetOutputSpeakerArrangement));
}

void* AudioEffectX::openWindow(VstWindow* window) {
    if (!audioMaster) return nullptr;
    return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}

bool AudioEffectX::closeWindow(VstWindow* window) {
    if (!audioMaster) return false;
    return callHost(audioMasterCloseWindow, 0, 0, window) != 0;
}

bool AudioEffectX::getChunkFile(void* nativePath) {
    if (!audioMaster || !nativePath) return false;
    return callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}
