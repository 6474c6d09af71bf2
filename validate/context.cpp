#include "validate/check.h"

namespace quillo::validate {

namespace {
hosting::HostSettings validatorSettings() {
    hosting::HostSettings settings;
    // The checks stand in for a live host's audio thread.
    settings.processLevel = kVstProcessLevelRealtime;
    settings.product = "quillo-validate";
    return settings;
}
} // namespace

Context::Context(const Options& options)
    : options_(options), library_(hosting::PluginLibrary::open(options.pluginPath)) {
    auto probe = create();
    effectName_ = probe->effectName();
    numParams_ = probe->numParams();
    numPrograms_ = probe->numPrograms();
}

std::unique_ptr<hosting::PluginInstance> Context::create() const {
    return hosting::PluginInstance::create(library_, validatorSettings());
}

} // namespace quillo::validate
