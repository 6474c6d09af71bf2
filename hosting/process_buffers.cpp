#include "hosting/process_buffers.h"

#include <algorithm>

namespace quillo::hosting {

ProcessBuffers::ProcessBuffers(int32_t inputs, int32_t outputs, int32_t blockSize)
    : blockSize_(blockSize), inputSamples_(static_cast<size_t>(std::max(inputs, 0)) * blockSize),
      outputSamples_(static_cast<size_t>(std::max(outputs, 0)) * blockSize) {
    for (int32_t i = 0; i < inputs; ++i) {
        inputPointers_.push_back(inputSamples_.data() + static_cast<size_t>(i) * blockSize);
    }
    for (int32_t i = 0; i < outputs; ++i) {
        outputPointers_.push_back(outputSamples_.data() + static_cast<size_t>(i) * blockSize);
    }
}

float** ProcessBuffers::inputs() {
    std::fill(inputSamples_.begin(), inputSamples_.end(), 0.0f);
    return inputPointers_.empty() ? nullptr : inputPointers_.data();
}

} // namespace quillo::hosting
