// Speaker arrangements: one calloc'ed block holding the header and n speaker records.
// The steps call the virtual operations, so a subclass that replaces one of them
// changes matchArrangement too.

#include "host_interface/audio_effect_x.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kHeaderBytes = offsetof(VstSpeakerArrangement, speakers);

size_t arrangementBytes(int32_t nbChannels) {
    return kHeaderBytes + sizeof(VstSpeakerProperties) * static_cast<size_t>(nbChannels);
}

} // namespace

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, int32_t nbChannels) {
    if (!arrangement) return false;
    if (*arrangement) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    if (nbChannels < 0) return false;
    void* block = std::calloc(1, arrangementBytes(nbChannels));
    if (!block) return false;
    *arrangement = static_cast<VstSpeakerArrangement*>(block);
    (*arrangement)->numChannels = nbChannels;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement) {
    if (arrangement && *arrangement) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) {
    if (!to || !from) return false;
    // A name of 64 characters loses its last one to the terminating zero.
    std::strncpy(to->name, from->name, sizeof(to->name) - 1);
    to->name[sizeof(to->name) - 1] = 0;
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof(to->future));
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) {
    if (!from) return false;
    if (!deallocateArrangement(to)) return false;
    if (!allocateArrangement(to, from->numChannels)) return false;
    (*to)->type = from->type;
    // The blocks hold numChannels records, more than the declared array may show.
    VstSpeakerProperties* target = (*to)->speakers;
    VstSpeakerProperties* source = from->speakers;
    for (int32_t i = 0; i < from->numChannels; ++i) {
        if (!copySpeaker(target + i, source + i)) return false;
    }
    return true;
}
