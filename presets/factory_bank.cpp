#include "presets/factory_bank.h"

const FactoryPreset* findFactoryPreset(const std::string& name) {
    const std::string wanted = presetSlug(name);
    for (int i = 0; i < kNumFactoryPresets; ++i) {
        const FactoryPreset& preset = kFactoryPresets[i];
        if (name == preset.name || name == preset.slug) return &preset;
    }
    for (int i = 0; i < kNumFactoryPresets; ++i) {
        // Any case, any spacing: "acid squelch", "ACID-SQUELCH".
        if (!wanted.empty() && wanted == kFactoryPresets[i].slug) return &kFactoryPresets[i];
    }
    return nullptr;
}
