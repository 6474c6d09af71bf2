#include "render/patch.h"

#include "hosting/user_error.h"

namespace quillo::render {

void applySettings(Instrument& plugin, const Options& options) {
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
    for (const hosting::ParameterSetting& setting : options.parameters) {
        const auto [index, value] = hosting::resolveParameter(plugin, setting);
        plugin.setParam(index, value);
    }
}

} // namespace quillo::render
