#include "hosting/plugin_instance.h"

#include "hosting/text.h"
#include "hosting/user_error.h"

#include <cstring>

namespace quillo::hosting {

std::unique_ptr<PluginInstance> PluginInstance::create(std::shared_ptr<PluginLibrary> library,
                                                       HostSettings settings) {
    auto host = std::make_unique<Host>(std::move(settings));
    AEffect* effect = nullptr;
    {
        Host::CreationScope scope(*host);
        effect = library->entryPoint()(&Host::callback);
    }
    if (!effect) throw UserError("not a VST 2 plug-in: its entry point returned no effect");
    // Without the magic the record is not ours to touch, not even to close it.
    if (effect->magic != kEffectMagic) {
        throw UserError("not a VST 2 plug-in: the effect record has the wrong magic");
    }
    host->bind(effect);
    return std::unique_ptr<PluginInstance>(
        new PluginInstance(std::move(library), std::move(host), effect));
}

PluginInstance::PluginInstance(std::shared_ptr<PluginLibrary> library, std::unique_ptr<Host> host,
                               AEffect* effect)
    : library_(std::move(library)), host_(std::move(host)), effect_(effect) {}

PluginInstance::~PluginInstance() {
    close();
}

intptr_t PluginInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void PluginInstance::open() {
    dispatch(effOpen);
}

void PluginInstance::setSampleRate(double rate) {
    host_->setSampleRate(rate);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
}

void PluginInstance::setBlockSize(int32_t frames) {
    host_->setBlockSize(frames);
    dispatch(effSetBlockSize, 0, frames);
}

void PluginInstance::resume() {
    if (resumed_) return;
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
    resumed_ = true;
}

void PluginInstance::suspend() {
    if (!resumed_) return;
    dispatch(effStopProcess);
    dispatch(effMainsChanged, 0, 0);
    resumed_ = false;
}

void PluginInstance::close() {
    if (!effect_) return;
    suspend();
    dispatch(effClose);
    effect_ = nullptr;
}

// Plug-ins often write past the nominal text lengths; give them plenty of room
// and make sure the result ends.
std::string PluginInstance::text(int32_t opcode, int32_t index) {
    char buffer[256] = {};
    dispatch(opcode, index, 0, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

std::string PluginInstance::effectName() {
    return text(effGetEffectName);
}
std::string PluginInstance::vendorString() {
    return text(effGetVendorString);
}
std::string PluginInstance::productString() {
    return text(effGetProductString);
}
int32_t PluginInstance::vendorVersion() {
    return static_cast<int32_t>(dispatch(effGetVendorVersion));
}
int32_t PluginInstance::vstVersion() {
    return static_cast<int32_t>(dispatch(effGetVstVersion));
}
int32_t PluginInstance::category() {
    return static_cast<int32_t>(dispatch(effGetPlugCategory));
}
int32_t PluginInstance::tailSize() {
    return static_cast<int32_t>(dispatch(effGetTailSize));
}

intptr_t PluginInstance::canDo(const std::string& capability) {
    // The plug-in receives a writable buffer, as from a C host.
    char buffer[64] = {};
    std::strncpy(buffer, capability.c_str(), sizeof buffer - 1);
    return dispatch(effCanDo, 0, 0, buffer);
}

bool PluginInstance::isInstrument() {
    return (flags() & effFlagsIsSynth) != 0 || category() == kPlugCategSynth;
}

std::string PluginInstance::paramName(int32_t index) {
    return text(effGetParamName, index);
}
std::string PluginInstance::paramLabel(int32_t index) {
    return text(effGetParamLabel, index);
}
std::string PluginInstance::paramDisplay(int32_t index) {
    return text(effGetParamDisplay, index);
}
float PluginInstance::param(int32_t index) {
    return effect_->getParameter(effect_, index);
}

void PluginInstance::setParam(int32_t index, float value) {
    effect_->setParameter(effect_, index, value);
}

int32_t PluginInstance::findParam(const std::string& name) {
    for (int32_t index = 0; index < numParams(); ++index) {
        if (equalIgnoringCase(paramName(index), name)) return index;
    }
    return -1;
}

int32_t PluginInstance::program() {
    return static_cast<int32_t>(dispatch(effGetProgram));
}
void PluginInstance::setProgram(int32_t program) {
    dispatch(effSetProgram, 0, program);
}
std::string PluginInstance::programName() {
    return text(effGetProgramName);
}

intptr_t PluginInstance::processEvents(VstEvents* events) {
    return dispatch(effProcessEvents, 0, 0, events);
}

void PluginInstance::processReplacing(float** inputs, float** outputs, int32_t frames) {
    effect_->processReplacing(effect_, inputs, outputs, frames);
}

} // namespace quillo::hosting
