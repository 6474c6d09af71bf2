// One plug-in instance driven the way a host drives it, with every output sample
// checked as it comes back.
#pragma once

#include "hosting/plugin_instance.h"
#include "validate/check.h"
#include "validate/events.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace quillo::validate {

// Output buffers with guard samples on both sides, filled before each call with a
// marker that no plug-in computes, so frames left unwritten show up.
class GuardedOutputs {
  public:
    GuardedOutputs(int32_t channels, int32_t capacity);
    int32_t capacity() const { return capacity_; }
    int32_t channels() const { return static_cast<int32_t>(pointers_.size()); }
    float** pointers() { return pointers_.data(); }
    const float* channel(int32_t c) const { return pointers_[c]; }

    void prepare(int32_t frames);
    // Fails when a frame was left unwritten, is not finite or exceeds the limit,
    // or when a guard sample changed.
    void verify(int32_t frames, float limit) const;

  private:
    int32_t capacity_;
    std::vector<std::vector<float>> storage_;
    std::vector<float*> pointers_;
};

class Session {
  public:
    static constexpr float kSampleLimit = 1000.0f;
    static constexpr size_t kEventCapacity = 4096;

    // Creates an instance, opens it, sets the sample rate and block size, resumes.
    Session(const Context& context, double sampleRate, int32_t maxBlock);
    ~Session();

    hosting::PluginInstance& plugin() { return *plugin_; }
    double sampleRate() const { return sampleRate_; }
    int32_t maxBlock() const { return outputs_.capacity(); }
    int32_t numOutputs() const { return outputs_.channels(); }

    // A host's work for one block: parameters, events, audio. Returns the peak.
    float render(const ScriptBlock& block);
    float render(int32_t frames, const std::vector<ScriptEvent>& events = {});
    // Renders the given number of frames in blocks of at most maxBlock.
    float renderFor(int32_t frames, int32_t blockSize);

    // The samples of the last block.
    const float* output(int32_t channel) const { return outputs_.channel(channel); }
    // True when every sample of the last block was exactly zero.
    bool lastBlockZero() const { return lastBlockZero_; }

    // Suspends, changes the rate or the largest block, resumes.
    void changeSampleRate(double sampleRate);
    void changeBlockSize(int32_t frames);

    // The largest magnitude a sample may have; infinity asks only for finite output.
    void setSampleLimit(float limit) { sampleLimit_ = limit; }

    // Counts allocator calls on this thread inside processEvents and
    // processReplacing while on.
    void countAllocations(bool on) { countAllocations_ = on; }
    uint64_t eventAllocations() const { return eventAllocations_; }
    uint64_t processAllocations() const { return processAllocations_; }

    // Closes the instance now instead of at destruction.
    void close();

  private:
    void sendEvents(const std::vector<ScriptEvent>& events);

    std::unique_ptr<hosting::PluginInstance> plugin_;
    double sampleRate_;
    GuardedOutputs outputs_;
    std::vector<std::vector<float>> inputSamples_;
    std::vector<float*> inputs_;
    EventList events_;
    float sampleLimit_ = kSampleLimit;
    bool lastBlockZero_ = true;
    bool countAllocations_ = false;
    uint64_t eventAllocations_ = 0;
    uint64_t processAllocations_ = 0;
};

// Peak of a block in decibels relative to full scale.
double dbfs(float peak);

} // namespace quillo::validate
