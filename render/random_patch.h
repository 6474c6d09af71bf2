// --random-params SEED: parameter values drawn from a seed, the same on every
// machine and with every library, from a generator of our own rather than the
// standard distributions, whose output differs between library versions.
#pragma once

#include "render/instrument.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillo::render {

// SplitMix64: a 64-bit state stepped by 0x9E3779B97F4A7C15 and mixed (Steele, Lea
// and Flood). A value from 0 to 1 is the top 24 bits of a draw divided by 2^24:
// exact in a float, below 1.
class PatchRandom {
  public:
    explicit PatchRandom(uint64_t seed) : state_(seed) {}
    uint64_t next();
    float unit() { return static_cast<float>(next() >> 40) * (1.0f / 16777216.0f); }

  private:
    uint64_t state_;
};

// Seeds are whole numbers up to 2^53 - 1, which every JSON reader keeps exactly.
constexpr uint64_t kMaxSeed = (uint64_t(1) << 53) - 1;

// The indices --vary names (parameter names or indices), or, for none, every
// parameter but "Volume". Throws UserError for a name the plug-in does not have.
std::vector<int32_t> variedParameters(Instrument& plugin, const std::vector<std::string>& names);

// One draw for each parameter in index order, so a parameter's value for a seed does
// not depend on which others vary; the varied ones take theirs.
void randomizeParameters(Instrument& plugin, uint64_t seed, const std::vector<int32_t>& varied);

// The seed of a dataset's item: the run's seed and the item's number mixed, so that
// the datasets of two seeds share no patch.
uint64_t itemSeed(uint64_t seed, uint64_t item);

} // namespace quillo::render
