#include "presets/factory_files.h"

#include "synth/identity.h"
#include "synth/program_record.h"

namespace {

vst2_files::ProgramFile quilloProgram(const std::string& name, const float* values) {
    vst2_files::ProgramFile program;
    program.pluginId = identity::kVst2UniqueId;
    program.pluginVersion = identity::kVst2RecordVersion;
    program.setName(name);
    program.values.assign(values, values + kNumParameters);
    return program;
}

} // namespace

vst2_files::ProgramFile factoryProgramFile(const FactoryPreset& preset) {
    return quilloProgram(preset.name, preset.values);
}

vst2_files::BankFile factoryBankFile() {
    vst2_files::BankFile bank;
    bank.pluginId = identity::kVst2UniqueId;
    bank.pluginVersion = identity::kVst2RecordVersion;
    bank.setCurrentProgram(0);
    for (int i = 0; i < kNumPrograms; ++i) {
        if (i < kNumFactoryPresets) {
            bank.programs.push_back(factoryProgramFile(kFactoryPresets[i]));
        } else {
            const ProgramRecord init;
            bank.programs.push_back(quilloProgram("Init", init.values));
        }
    }
    return bank;
}

std::string factoryProgramFileName(const FactoryPreset& preset) {
    return std::string(preset.slug) + ".fxp";
}
