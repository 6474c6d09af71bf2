// Shared by the fuzz targets: a stub host, one fresh synth per input, a reader
// that turns the fuzzer's bytes into numbers, and rendering that stops the
// fuzzer at the first sample that is not finite.
#pragma once

#include "engine/random_source.h"
#include "host_interface/audio_effect.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

// Answers the version query, as any host does; everything else declines.
inline intptr_t stubHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// Reads the input front to back; past its end every read gives zeros.
class Bytes {
  public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return position_ >= size_; }

    uint8_t u8() { return position_ < size_ ? data_[position_++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(u8() | (u8() << 8)); }
    uint32_t u32() { return static_cast<uint32_t>(u16()) | (static_cast<uint32_t>(u16()) << 16); }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    // Any bit pattern: NaNs, infinities and subnormals included.
    float anyFloat() {
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // Mostly small numbers near the interesting range, sometimes anything.
    int32_t smallOrAny(int32_t range) {
        const uint8_t pick = u8();
        if (pick < 200) return static_cast<int32_t>(u16() % (range + 8)) - 4;
        return i32();
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// Stereo outputs as a plug-in renders into them: before a render every sample is set
// to a value no render gives, so that after it a sample written beyond the frames asked
// shows. checkWritten aborts at such a sample, and (unless finite is false) at one
// within the frames that is not finite.
constexpr float kUnwritten = 12345.678f;

template <size_t kFrames> void markUnwritten(float (&outputs)[2][kFrames]) {
    for (auto& channel : outputs)
        for (float& sample : channel)
            sample = kUnwritten;
}

template <size_t kFrames>
void checkWritten(const float (&outputs)[2][kFrames], size_t written, bool finite) {
    for (int c = 0; c < 2; ++c) {
        for (size_t i = 0; i < kFrames; ++i) {
            const float value = outputs[c][i];
            const char* fault = nullptr;
            if (i >= written) {
                if (value != kUnwritten) fault = "wrote beyond the frames asked";
            } else if (finite && !std::isfinite(value)) {
                fault = "sample not finite";
            }
            if (fault) {
                std::fprintf(stderr, "%s: output %d, frame %zu: %g\n", fault, c, i,
                             static_cast<double>(value));
                std::abort();
            }
        }
    }
}

// One synth, created through the factory with the stub host and closed as a
// host closes it.
class Synth {
  public:
    Synth() {
        // The noise seed is per thread; start each input from the same one so a
        // crash reproduces from its input alone.
        random_source::seed = 1;
        AudioEffect* object = createEffectInstance(stubHost);
        if (!object) std::abort();
        effect_ = object->getAeffect();
        effect_->dispatcher(effect_, effOpen, 0, 0, nullptr, 0.0f);
        effect_->dispatcher(effect_, effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    ~Synth() { effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f); }
    Synth(const Synth&) = delete;
    Synth& operator=(const Synth&) = delete;

    AEffect* effect() { return effect_; }
    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }

    static constexpr int32_t kMaxFrames = 2048;

    // Renders and aborts on any sample that is not finite (unless finite is
    // false) or any frame written beyond the block. frames may be anything; only
    // 0..kMaxFrames are rendered.
    void render(int32_t frames, bool finite = true) {
        if (frames < 0 || frames > kMaxFrames) {
            // Hosts never ask for more than they have room for; a negative count
            // must write nothing.
            if (frames < 0) renderInto(frames, 0, finite);
            return;
        }
        renderInto(frames, frames, finite);
    }

  private:
    void renderInto(int32_t frames, int32_t checked, bool finite) {
        markUnwritten(outputs_);
        float* outputs[2] = {outputs_[0], outputs_[1]};
        effect_->processReplacing(effect_, nullptr, outputs, frames);
        checkWritten(outputs_, static_cast<size_t>(checked), finite);
    }

    AEffect* effect_ = nullptr;
    float outputs_[2][kMaxFrames];
};

// A note-on so the engine runs while the rest of an input does its work.
inline void startNote(Synth& synth, uint8_t key) {
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = sizeof event;
    event.midiData[0] = static_cast<char>(0x90);
    event.midiData[1] = static_cast<char>(key & 0x7F);
    event.midiData[2] = 100;
    VstEvents list{};
    list.numEvents = 1;
    list.events[0] = reinterpret_cast<VstEvent*>(&event);
    synth.dispatch(effProcessEvents, 0, 0, &list, 0.0f);
}

} // namespace fuzz
