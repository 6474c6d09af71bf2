// Audio buffers for processReplacing: silent inputs for plug-ins that have
// inputs, and one output buffer per output, each a block long.
#pragma once

#include <cstdint>
#include <vector>

namespace quillo::hosting {

class ProcessBuffers {
  public:
    ProcessBuffers(int32_t inputs, int32_t outputs, int32_t blockSize);

    // Inputs are cleared before every block, since a plug-in may write into them.
    float** inputs();
    float** outputs() { return outputPointers_.data(); }
    const float* output(int32_t channel) const { return outputPointers_[channel]; }
    int32_t numOutputs() const { return static_cast<int32_t>(outputPointers_.size()); }
    int32_t blockSize() const { return blockSize_; }

  private:
    int32_t blockSize_;
    std::vector<float> inputSamples_;
    std::vector<float> outputSamples_;
    std::vector<float*> inputPointers_;
    std::vector<float*> outputPointers_;
};

} // namespace quillo::hosting
