// Quillo's LV2 build driven as an LV2 host drives it: loaded with dlopen, given a
// URID map, its ports connected, each block's MIDI as an atom sequence.
//
// Every call runs on a thread of the leg's own, so the plug-in library's random
// source starts at its first value for each leg, as the legs in the test binary do.
#pragma once

#include "plugins/lv2/lv2_ports.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Runs jobs one at a time on one thread of its own.
class Worker {
  public:
    Worker() : thread_([this] { loop(); }) {}
    ~Worker() {
        call(nullptr);
        thread_.join();
    }
    // Runs job on the worker and waits for it; a null job ends the worker.
    void call(std::function<void()> job) {
        std::unique_lock<std::mutex> lock(mutex_);
        job_ = std::move(job);
        stop_ = !job_;
        pending_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !pending_; });
    }

  private:
    void loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return pending_; });
            if (stop_) {
                pending_ = false;
                changed_.notify_all();
                return;
            }
            job_();
            pending_ = false;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool pending_ = false;
    bool stop_ = false;
    std::thread thread_;
};

class UridMap {
  public:
    UridMap() : map_{this, &UridMap::map}, feature_{LV2_URID__map, &map_} {}
    const LV2_Feature* feature() const { return &feature_; }
    LV2_URID operator()(const char* uri) { return map(this, uri); }

  private:
    static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
        auto& uris = static_cast<UridMap*>(handle)->uris_;
        for (size_t i = 0; i < uris.size(); ++i)
            if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
        uris.emplace_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }

    std::vector<std::string> uris_;
    LV2_URID_Map map_;
    LV2_Feature feature_;
};

// An atom sequence in an 8-byte aligned buffer, as hosts hand one to a plug-in.
class AtomSequence {
  public:
    AtomSequence(LV2_URID sequenceType, LV2_URID midiType, size_t capacity = 8192)
        : midiType_(midiType), buffer_(capacity / 8) {
        header()->atom.type = sequenceType;
        clear();
    }
    void clear() {
        header()->atom.size = sizeof(LV2_Atom_Sequence_Body);
        header()->body.unit = 0;
        header()->body.pad = 0;
    }
    void add(int64_t frame, const uint8_t* bytes, uint32_t size) {
        auto* base = reinterpret_cast<uint8_t*>(&header()->body);
        auto* event = reinterpret_cast<LV2_Atom_Event*>(base + header()->atom.size);
        ASSERT_LE(sizeof(LV2_Atom_Sequence) + header()->atom.size + sizeof(LV2_Atom_Event) + 8,
                  buffer_.size() * 8);
        event->time.frames = frame;
        event->body.type = midiType_;
        event->body.size = size;
        std::memcpy(event + 1, bytes, size);
        header()->atom.size += static_cast<uint32_t>(sizeof(LV2_Atom_Event) + ((size + 7u) & ~7u));
    }
    LV2_Atom_Sequence* header() { return reinterpret_cast<LV2_Atom_Sequence*>(buffer_.data()); }

  private:
    LV2_URID midiType_;
    std::vector<uint64_t> buffer_;
};

class Lv2Leg {
  public:
    // Instantiates at the rate and sets the control ports to the values given.
    Lv2Leg(double rate, const float* values) {
        worker_.call([&] {
            library_ = dlopen(QUILLO_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
            ASSERT_NE(library_, nullptr) << dlerror();
            auto entry = reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(
                dlsym(library_, "lv2_descriptor"));
            ASSERT_NE(entry, nullptr);
            descriptor_ = entry(0);
            ASSERT_NE(descriptor_, nullptr);
            const LV2_Feature* features[] = {map_.feature(), nullptr};
            handle_ = descriptor_->instantiate(descriptor_, rate, "", features);
            ASSERT_NE(handle_, nullptr);
        });
        sequence_ =
            std::make_unique<AtomSequence>(map_(LV2_ATOM__Sequence), map_(LV2_MIDI__MidiEvent));
        for (int i = 0; i < kNumParameters; ++i) {
            controls_[i] = values[i];
            descriptor_->connect_port(handle_, i, &controls_[i]);
        }
        descriptor_->connect_port(handle_, lv2_ports::kMidiIn, sequence_->header());
        worker_.call([&] { descriptor_->activate(handle_); });
    }
    ~Lv2Leg() {
        worker_.call([&] {
            if (!handle_) return;
            descriptor_->deactivate(handle_);
            descriptor_->cleanup(handle_);
            dlclose(library_);
        });
    }

    void setPort(int index, float value) { controls_[index] = value; }
    void midi(const uint8_t* bytes, int64_t frame) { sequence_->add(frame, bytes, 3); }

    // One run over the block, with the events given since the last one.
    void run(float* left, float* right, uint32_t frames) {
        descriptor_->connect_port(handle_, lv2_ports::kLeftOut, left);
        descriptor_->connect_port(handle_, lv2_ports::kRightOut, right);
        worker_.call([&] { descriptor_->run(handle_, frames); });
        sequence_->clear();
    }

  private:
    Worker worker_;
    UridMap map_;
    void* library_ = nullptr;
    const LV2_Descriptor* descriptor_ = nullptr;
    LV2_Handle handle_ = nullptr;
    float controls_[kNumParameters];
    std::unique_ptr<AtomSequence> sequence_;
};
