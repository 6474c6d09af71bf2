#include "hosting/host.h"

#include <algorithm>
#include <cstring>

namespace quillo::hosting {
namespace {

thread_local Host* hostBeingCreated = nullptr;

// Strings go into buffers the plug-in provides; the interface allows 64 bytes.
constexpr size_t kHostStringSize = 64;

void copyHostString(void* destination, const std::string& text) {
    if (!destination) return;
    char* out = static_cast<char*>(destination);
    const size_t length = std::min(text.size(), kHostStringSize - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

} // namespace

Host::Host(HostSettings settings) : settings_(std::move(settings)) {}

Host::CreationScope::CreationScope(Host& host) : previous_(hostBeingCreated) {
    hostBeingCreated = &host;
}

Host::CreationScope::~CreationScope() {
    hostBeingCreated = previous_;
}

void Host::bind(AEffect* effect) {
    effect->resvd1 = reinterpret_cast<intptr_t>(this);
}

Host* Host::forEffect(AEffect* effect) {
    if (effect && effect->resvd1) return reinterpret_cast<Host*>(effect->resvd1);
    return hostBeingCreated;
}

intptr_t Host::callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                        float opt) {
    if (Host* host = forEffect(effect)) {
        try {
            return host->answer(effect, opcode, index, value, ptr, opt);
        } catch (...) {
            return 0; // nothing may be thrown into the plug-in
        }
    }
    // A call from an instance this process does not host: only say who we are.
    return opcode == audioMasterVersion ? kVersion : 0;
}

bool Host::canDo(const char* capability) {
    if (!capability) return false;
    static const char* const supported[] = {
        "sendVstEvents",    "sendVstMidiEvent",    "sendVstTimeInfo",
        "receiveVstEvents", "receiveVstMidiEvent", "startStopProcess",
    };
    for (const char* name : supported) {
        if (std::strcmp(capability, name) == 0) return true;
    }
    return false;
}

const VstTimeInfo* Host::timeInfo() {
    timeInfo_ = VstTimeInfo{};
    timeInfo_.samplePos = transport_.samplePos;
    timeInfo_.sampleRate = settings_.sampleRate;
    timeInfo_.ppqPos = transport_.ppqPos;
    timeInfo_.tempo = transport_.tempo;
    timeInfo_.timeSigNumerator = transport_.timeSigNumerator;
    timeInfo_.timeSigDenominator = transport_.timeSigDenominator;
    timeInfo_.flags = kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid;
    if (transport_.playing) timeInfo_.flags |= kVstTransportPlaying;
    return &timeInfo_;
}

intptr_t Host::answer(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt) {
    if (observer_) observer_(effect, opcode, index, value, ptr, opt);

    switch (opcode) {
    case audioMasterVersion: return kVersion;
    case audioMasterAutomate: ++automateCount_; return 0;
    case audioMasterWantMidi: midiWanted_ = true; return 1;
    case audioMasterGetTime: return reinterpret_cast<intptr_t>(timeInfo());
    case audioMasterProcessEvents: return 1; // accepted; a renderer has nowhere to send them
    case audioMasterGetSampleRate: return static_cast<intptr_t>(settings_.sampleRate);
    case audioMasterGetBlockSize: return settings_.blockSize;
    case audioMasterGetCurrentProcessLevel: return settings_.processLevel;
    case audioMasterGetVendorString: copyHostString(ptr, settings_.vendor); return 1;
    case audioMasterGetProductString: copyHostString(ptr, settings_.product); return 1;
    case audioMasterGetVendorVersion: return settings_.vendorVersion;
    case audioMasterCanDo: return canDo(static_cast<const char*>(ptr)) ? 1 : 0;
    default: return 0;
    }
}

} // namespace quillo::hosting
