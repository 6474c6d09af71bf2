// The LV2 plug-in's URI and ports, shared by the plug-in and the tool that writes
// its description.
#pragma once

#include "synth/parameters.h"

#include <cstdint>

namespace lv2_ports {

// Hosts store this in their sessions: it never changes.
constexpr const char* kUri = "https://mirefold.org/lv2/quillo";

// The 36 parameters come first, in index order, as control inputs 0..35.
constexpr uint32_t kMidiIn = kNumParameters; // atom sequence of MIDI events
constexpr uint32_t kLeftOut = kNumParameters + 1;
constexpr uint32_t kRightOut = kNumParameters + 2;
constexpr uint32_t kNumPorts = kNumParameters + 3;

} // namespace lv2_ports
