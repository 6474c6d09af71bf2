// VstXSynth: the one concrete plug-in class.
#pragma once

#include "host_interface/audio_effect_x.h"

class VstXSynth : public AudioEffectX {
  public:
    explicit VstXSynth(AudioMasterCallback audioMaster);

    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
};
