#include "presets/preset_loading.h"

#include "presets/factory_bank.h"
#include "presets/vst2_files.h"

#include "hosting/user_error.h"

#include <cctype>

namespace {

quillo::UserError failure(const std::string& option, const std::string& argument,
                          const std::string& why) {
    return quillo::UserError(option + " " + argument + ": " + why);
}

void requireValues(const vst2_files::ProgramFile& program, int32_t numParams,
                   const std::string& what) {
    if (program.opaque)
        throw vst2_files::FileError(what + " holds the plug-in's own chunk, not parameter values");
    if (program.values.size() != size_t(numParams))
        throw vst2_files::FileError(what + " holds " + std::to_string(program.values.size()) +
                                    " parameter values; the plug-in has " +
                                    std::to_string(numParams));
}

} // namespace

bool isPresetFile(const std::string& argument) {
    std::string suffix = argument.size() > 4 ? argument.substr(argument.size() - 4) : "";
    for (char& c : suffix)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return suffix == ".fxp" || argument.find('/') != std::string::npos;
}

LoadedProgram loadPreset(const std::string& argument, int32_t pluginId, int32_t numParams,
                         bool factoryPresets) {
    if (!isPresetFile(argument)) {
        const FactoryPreset* preset = factoryPresets ? findFactoryPreset(argument) : nullptr;
        if (!preset) {
            throw failure("--preset", argument,
                          factoryPresets
                              ? "no factory preset has this name (see --list-presets)"
                              : "factory presets are Quillo's; give this plug-in a .fxp file");
        }
        if (numParams != kNumParameters)
            throw failure("--preset", argument, "the plug-in is not Quillo");
        return {preset->name, std::vector<float>(preset->values, preset->values + kNumParameters)};
    }
    try {
        const vst2_files::ProgramFile program =
            vst2_files::decodeProgram(vst2_files::readFile(argument));
        vst2_files::requirePlugin(program.pluginId, pluginId);
        requireValues(program, numParams, "the program");
        return {program.name(), program.values};
    } catch (const vst2_files::FileError& error) {
        throw failure("--preset", argument, error.what());
    }
}

LoadedBank loadBank(const std::string& path, int32_t pluginId, int32_t numParams,
                    int32_t maxPrograms) {
    try {
        const vst2_files::BankFile bank = vst2_files::decodeBank(vst2_files::readFile(path));
        vst2_files::requirePlugin(bank.pluginId, pluginId);
        if (bank.opaque)
            throw vst2_files::FileError("holds the plug-in's own chunk, not parameter values");
        if (bank.programs.size() > size_t(maxPrograms))
            throw vst2_files::FileError("holds " + std::to_string(bank.programs.size()) +
                                        " programs; the plug-in has " +
                                        std::to_string(maxPrograms));
        LoadedBank loaded;
        for (size_t p = 0; p < bank.programs.size(); ++p) {
            requireValues(bank.programs[p], numParams, "program " + std::to_string(p));
            loaded.programs.push_back({bank.programs[p].name(), bank.programs[p].values});
        }
        const int32_t current = bank.currentProgram();
        loaded.currentProgram =
            current >= 0 && size_t(current) < bank.programs.size() ? current : 0;
        return loaded;
    } catch (const vst2_files::FileError& error) {
        throw failure("--bank", path, error.what());
    }
}
