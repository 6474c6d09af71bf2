#include "synth/vst_x_synth.h"

#include <algorithm>
#include <new>

namespace {
constexpr int32_t kNumPrograms = 32;
constexpr int32_t kNumParams = 36;
constexpr int32_t kUniqueID = fourCharCode('q', 'l', 'o', '1');
} // namespace

VstXSynth::VstXSynth(AudioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams) {
    // Without a host the record keeps the base values.
    if (audioMaster) {
        canProcessReplacing();
        isSynth();
        setNumInputs(0);
        setNumOutputs(2);
        setUniqueID(kUniqueID);
    }
}

void VstXSynth::processReplacing(float** /*inputs*/, float** outputs, int32_t sampleFrames) {
    if (!outputs || sampleFrames <= 0) return;
    for (int channel = 0; channel < 2; ++channel) {
        if (outputs[channel]) std::fill(outputs[channel], outputs[channel] + sampleFrames, 0.0f);
    }
}

// One allocation for the whole object; a failed allocation or constructor gives null.
AudioEffect* createEffectInstance(AudioMasterCallback audioMaster) {
    try {
        return new (std::nothrow) VstXSynth(audioMaster);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
