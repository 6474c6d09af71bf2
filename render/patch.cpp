#include "render/patch.h"

#include "hosting/text.h"
#include "hosting/user_error.h"
#include "presets/factory_bank.h"
#include "presets/preset_loading.h"
#include "presets/vst2_files.h"
#include "render/random_patch.h"
#include "synth/identity.h"

#include <filesystem>

namespace quillo::render {
namespace {

// The factory bank is Quillo's, known by its identifier; Quillo as LV2 carries
// the same sounds as the presets of its bundle.
bool isQuillo(const Vst2Identity& identity) {
    return identity.uniqueId == identity::kVst2UniqueId;
}

void setAll(Instrument& plugin, const std::vector<float>& values) {
    for (size_t i = 0; i < values.size(); ++i)
        plugin.setParam(static_cast<int32_t>(i), values[i]);
}

void loadBankInto(Instrument& plugin, const std::string& path) {
    const std::optional<Vst2Identity> identity = plugin.vst2Identity();
    if (!identity) {
        throw UserError("--bank " + path + ": bank files hold VST 2 programs; the plug-in is LV2");
    }
    const LoadedBank bank =
        loadBank(path, identity->uniqueId, plugin.numParams(), plugin.numPrograms());
    for (size_t p = 0; p < bank.programs.size(); ++p) {
        plugin.setProgram(static_cast<int32_t>(p));
        setAll(plugin, bank.programs[p].values);
    }
    plugin.setProgram(bank.currentProgram);
}

void applyPreset(Instrument& plugin, const std::string& preset) {
    const std::optional<Vst2Identity> identity = plugin.vst2Identity();
    if (identity) {
        setAll(
            plugin,
            loadPreset(preset, identity->uniqueId, plugin.numParams(), isQuillo(*identity)).values);
        return;
    }
    if (isPresetFile(preset)) {
        throw UserError("--preset " + preset +
                        ": program files hold VST 2 parameters; the plug-in is LV2 (its presets "
                        "go by name, see --list-presets)");
    }
    for (int32_t program = 0; program < plugin.numPrograms(); ++program) {
        if (hosting::equalIgnoringCase(plugin.programName(program), preset)) {
            plugin.setProgram(program);
            return;
        }
    }
    throw UserError("--preset " + preset +
                    ": the plug-in has no preset of this name (see --list-presets)");
}

} // namespace

void applySettings(Instrument& plugin, const Options& options) {
    if (!options.bank.empty()) loadBankInto(plugin, options.bank);
    if (options.program) {
        const int32_t programs = plugin.numPrograms();
        if (*options.program >= programs) {
            throw UserError("--program " + std::to_string(*options.program) + ": " +
                            (programs > 0
                                 ? "the plug-in has " + std::to_string(programs) +
                                       " programs (0 to " + std::to_string(programs - 1) + ")"
                                 : std::string("the plug-in has no programs")));
        }
        plugin.setProgram(*options.program);
    }
    if (!options.preset.empty()) applyPreset(plugin, options.preset);
    if (options.randomSeed) {
        randomizeParameters(plugin, *options.randomSeed, variedParameters(plugin, options.vary));
    }
    for (const hosting::ParameterSetting& setting : options.parameters) {
        const auto [index, value] = hosting::resolveParameter(plugin, setting);
        plugin.setParam(index, value);
    }
}

void savePreset(Instrument& plugin, const std::string& path) {
    const std::optional<Vst2Identity> identity = plugin.vst2Identity();
    if (!identity) {
        throw UserError("--save-preset " + path +
                        ": program files hold VST 2 parameters; the plug-in is LV2");
    }
    vst2_files::ProgramFile program;
    program.pluginId = identity->uniqueId;
    program.pluginVersion = identity->version;
    program.setName(std::filesystem::path(path).stem().string());
    for (int32_t index = 0; index < plugin.numParams(); ++index)
        program.values.push_back(plugin.param(index));
    try {
        vst2_files::writeFile(path, vst2_files::encode(program));
    } catch (const vst2_files::FileError& error) {
        throw UserError("--save-preset " + path + ": " + error.what());
    }
}

void printPresets(Instrument& plugin, std::ostream& out) {
    const std::optional<Vst2Identity> identity = plugin.vst2Identity();
    if (identity && isQuillo(*identity)) {
        for (int p = 0; p < kNumFactoryPresets; ++p)
            out << kFactoryPresets[p].name << "\n";
    } else if (!identity) {
        for (int32_t program = 0; program < plugin.numPrograms(); ++program)
            out << plugin.programName(program) << "\n";
    } else {
        throw UserError("--list-presets: factory presets are Quillo's; this plug-in takes VST 2 "
                        "program files (.fxp) and its own programs (see --list-programs)");
    }
}

} // namespace quillo::render
