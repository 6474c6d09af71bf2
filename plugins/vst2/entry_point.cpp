// The one function hosts look up in quillo.so, exported as VSTPluginMain and, for
// older hosts, as main. Nothing else leaves the library (see exports.map).

#include "host_interface/audio_effect.h"

extern "C" __attribute__((visibility("default"))) AEffect*
VSTPluginMain(AudioMasterCallback audioMaster) {
    // Without a callback there is no host to ask for its version.
    if (!audioMaster) return nullptr;
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;

    AudioEffect* effect = createEffectInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
}

// "main" is the same function under a second name. A C++ function cannot be called
// main with this signature, so the alias is made by the assembler.
asm(".globl main\n"
    ".set main, VSTPluginMain\n"
    ".type main, @function\n");
