// Exact floors for the benchmark: the default program and the full-modulation patch
// rendered by one plain loop each, sample by sample, with nothing but the arithmetic the
// patch needs in the order the chain fixes (the filter's feedback with its float
// roundings, the table readings, the envelopes, the amplitude; for the full-modulation
// patch also the LFOs, the glide, the table notes and the library calls for the pitch's
// power of two and the cutoff's sine and cosine). No variant is chosen, no parameter is
// read, no unit is driven through its interface: what the instrument costs beyond a
// floor is the price of being an instrument rather than one patch.
//
// Each floor renders the very bits Quillo renders for its patch, for a monophonic part
// whose notes do not overlap (the benchmark phrase); quillo-bench-host prints both
// outputs' hashes to show it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class FloorKernel {
  public:
    virtual ~FloorKernel() = default;
    // Events of the next block, at their frames within it, then the block.
    virtual void noteOn(uint8_t key, int32_t deltaFrames) = 0;
    virtual void noteOff(uint8_t key) = 0;
    virtual void render(float* left, float* right, int32_t frames) = 0;
};

// "default" or "fullmod" at the given rate; null for another name.
std::unique_ptr<FloorKernel> makeFloorKernel(const std::string& patch, float sampleRate);
