// Loading the probe plug-in variants built beside the tests.
#pragma once

#include "hosting/plugin_instance.h"
#include "tests/hosting/probe_log.h"

#include <memory>
#include <string>

inline std::string probePath(const std::string& variant) {
    return std::string(PROBE_DIR) + "/probe_" + variant + ".so";
}

struct LoadedProbe {
    std::unique_ptr<quillo::hosting::PluginInstance> plugin;
    ProbeLog* log;
};

inline LoadedProbe loadProbe(const std::string& variant = "synth",
                             quillo::hosting::HostSettings settings = {}) {
    auto plugin = quillo::hosting::PluginInstance::create(
        quillo::hosting::PluginLibrary::open(probePath(variant)), settings);
    auto* log = reinterpret_cast<ProbeLog*>(plugin->dispatch(effVendorSpecific, kProbeLogRequest));
    return {std::move(plugin), log};
}
