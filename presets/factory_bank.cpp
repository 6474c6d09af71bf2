#include "presets/factory_bank.h"

// Each slug is made from its preset's name and is that preset's alone, so the slug of
// what is asked finds the preset by its name, its slug or either in any case and
// spacing: "Acid Squelch", "acid-squelch", "ACID SQUELCH".
const FactoryPreset* findFactoryPreset(const std::string& name) {
    const std::string wanted = presetSlug(name);
    if (wanted.empty()) return nullptr;
    for (int i = 0; i < kNumFactoryPresets; ++i)
        if (wanted == kFactoryPresets[i].slug) return &kFactoryPresets[i];
    return nullptr;
}
