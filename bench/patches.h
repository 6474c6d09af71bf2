// The patches the benchmarks play, besides the default program: written once for the
// unit benchmarks and the floor kernels (scripts/bench.sh sets the same by name).
#pragma once

#include "synth/parameters.h"

#include <utility>
#include <vector>

namespace bench_patches {

using Settings = std::vector<std::pair<ParameterIndex, float>>;

// Envelope 1 sweeps the cutoff, LFO 1 on the pitch, LFO 2 on the cutoff, glide, high
// resonance, pulse against saw.
inline const Settings kFullModulation = {
    {kEnv1Depth, 0.9f}, {kEnv1Attack, 0.1f},      {kEnv1Decay, 0.3f},       {kEnv1Sustain, 0.3f},
    {kCutoff, 0.3f},    {kResonance, 0.8f},       {kLfo1Destination, 0.3f}, {kLfo1Depth, 0.05f},
    {kLfo1Rate, 0.3f},  {kLfo2Destination, 0.7f}, {kLfo2Depth, 0.3f},       {kLfo2Rate, 0.2f},
    {kGlide, 1.0f},     {kGlideAmount, 0.2f},     {kWave1, 0.3f},           {kWave2, 0.0f}};

} // namespace bench_patches
