#include "validate/session.h"

#include "validate/alloc_counter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace quillo::validate {
namespace {

constexpr int32_t kGuard = 64;
constexpr uint32_t kUnwrittenBits = 0x7FC0A5A5u; // a quiet NaN with a payload of its own

float unwrittenMarker() {
    float value;
    std::memcpy(&value, &kUnwrittenBits, sizeof value);
    return value;
}

bool isUnwritten(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == kUnwrittenBits;
}

std::string describe(float value) {
    char text[48];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

} // namespace

double dbfs(float peak) {
    return peak > 0.0f ? 20.0 * std::log10(static_cast<double>(peak)) : -INFINITY;
}

GuardedOutputs::GuardedOutputs(int32_t channels, int32_t capacity) : capacity_(capacity) {
    storage_.resize(static_cast<size_t>(std::max(channels, 0)));
    for (auto& samples : storage_) {
        samples.assign(static_cast<size_t>(capacity) + 2 * kGuard, unwrittenMarker());
        pointers_.push_back(samples.data() + kGuard);
    }
}

void GuardedOutputs::prepare(int32_t frames) {
    const float marker = unwrittenMarker();
    const int32_t end = std::min(frames + kGuard, capacity_ + kGuard);
    for (float* channel : pointers_)
        std::fill(channel, channel + end, marker);
}

void GuardedOutputs::verify(int32_t frames, float limit) const {
    for (int32_t c = 0; c < channels(); ++c) {
        const float* samples = pointers_[c];
        for (int32_t i = -kGuard; i < 0; ++i)
            expect(isUnwritten(samples[i]),
                   "wrote before the start of output " + std::to_string(c));
        const int32_t end = std::min(frames + kGuard, capacity_ + kGuard);
        for (int32_t i = frames; i < end; ++i)
            expect(isUnwritten(samples[i]), "wrote past the end of output " + std::to_string(c) +
                                                " (" + std::to_string(frames) + " frames asked)");
        for (int32_t i = 0; i < frames; ++i) {
            const float value = samples[i];
            if (isUnwritten(value))
                fail("output " + std::to_string(c) + ", frame " + std::to_string(i) +
                     " left unwritten");
            if (!std::isfinite(value) || std::fabs(value) > limit)
                fail("output " + std::to_string(c) + ", frame " + std::to_string(i) + " is " +
                     describe(value));
        }
    }
}

Session::Session(const Context& context, double sampleRate, int32_t maxBlock)
    : plugin_(context.create()), sampleRate_(sampleRate), outputs_(plugin_->numOutputs(), maxBlock),
      events_(kEventCapacity) {
    // Plug-ins with no inputs still get a silent one, in case they look.
    const int32_t inputs = std::max(plugin_->numInputs(), 1);
    inputSamples_.assign(static_cast<size_t>(inputs), std::vector<float>(maxBlock, 0.0f));
    for (auto& samples : inputSamples_)
        inputs_.push_back(samples.data());

    plugin_->open();
    plugin_->setSampleRate(sampleRate);
    plugin_->setBlockSize(maxBlock);
    plugin_->resume();
}

Session::~Session() = default;

void Session::close() {
    plugin_.reset();
}

void Session::changeSampleRate(double sampleRate) {
    plugin_->suspend();
    plugin_->setSampleRate(sampleRate);
    plugin_->resume();
    sampleRate_ = sampleRate;
}

void Session::changeBlockSize(int32_t frames) {
    expect(frames <= maxBlock(), "block size beyond the buffers");
    plugin_->suspend();
    plugin_->setBlockSize(frames);
    plugin_->resume();
}

void Session::sendEvents(const std::vector<ScriptEvent>& events) {
    if (events.empty()) return;
    events_.assign(events);
    if (!countAllocations_) {
        plugin_->processEvents(events_.vstEvents());
        return;
    }
    AllocationCounter::reset();
    {
        AllocationCounter::Armed armed;
        plugin_->processEvents(events_.vstEvents());
    }
    eventAllocations_ += AllocationCounter::count();
}

float Session::render(const ScriptBlock& block) {
    for (const ParameterWrite& write : block.parameters)
        plugin_->setParam(write.index, write.value);
    return render(block.frames, block.events);
}

float Session::render(int32_t frames, const std::vector<ScriptEvent>& events) {
    expect(frames >= 0 && frames <= maxBlock(), "block size beyond the buffers");
    sendEvents(events);
    for (auto& samples : inputSamples_)
        std::fill(samples.begin(), samples.begin() + frames, 0.0f);
    outputs_.prepare(frames);

    if (countAllocations_) {
        AllocationCounter::reset();
        {
            AllocationCounter::Armed armed;
            plugin_->processReplacing(inputs_.data(), outputs_.pointers(), frames);
        }
        processAllocations_ += AllocationCounter::count();
    } else {
        plugin_->processReplacing(inputs_.data(), outputs_.pointers(), frames);
    }

    outputs_.verify(frames, sampleLimit_);
    float peak = 0.0f;
    for (int32_t c = 0; c < numOutputs(); ++c) {
        const float* samples = outputs_.channel(c);
        for (int32_t i = 0; i < frames; ++i)
            peak = std::max(peak, std::fabs(samples[i]));
    }
    lastBlockZero_ = peak == 0.0f;
    return peak;
}

float Session::renderFor(int32_t frames, int32_t blockSize) {
    float peak = 0.0f;
    for (int32_t done = 0; done < frames;) {
        const int32_t n = std::min({blockSize, frames - done, maxBlock()});
        peak = std::max(peak, render(n));
        done += n;
    }
    return peak;
}

} // namespace quillo::validate
