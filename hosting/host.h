// The host side of the callback a plug-in calls back into.
//
// One Host per plug-in instance. The instance finds its Host through the effect
// record's resvd1 field, which the interface reserves for the host. The very first
// call, audioMasterVersion from inside the entry point, comes before any record
// exists; while PluginInstance::create runs the entry point, calls without a bound
// record go to the Host being created (see CreationScope).
#pragma once

#include "host_interface/aeffect.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quillo::hosting {

struct HostSettings {
    double sampleRate = 44100.0;
    int32_t blockSize = 512;
    // Reported for every call; a command-line renderer runs offline throughout.
    int32_t processLevel = kVstProcessLevelOffline;
    std::string vendor = "Mirefold";
    std::string product = "Quillo host";
    int32_t vendorVersion = 1000;
};

// Where the host's playback stands, as audioMasterGetTime reports it.
struct Transport {
    double samplePos = 0.0;
    double ppqPos = 0.0;
    double tempo = 120.0;
    int32_t timeSigNumerator = 4;
    int32_t timeSigDenominator = 4;
    bool playing = false;
};

class Host {
  public:
    static constexpr int32_t kVersion = 2400;

    // Sees every call a plug-in makes, before it is answered (for tools that check
    // plug-ins). It runs on whichever thread the plug-in calls from.
    using CallObserver = std::function<void(AEffect* effect, int32_t opcode, int32_t index,
                                            intptr_t value, void* ptr, float opt)>;

    explicit Host(HostSettings settings = {});
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The function handed to the plug-in's entry point.
    static intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt);

    // Makes this host answer the given record from now on (stores itself in resvd1).
    void bind(AEffect* effect);

    // While one exists, calls with a null record or a record not yet bound go to
    // this host (on the creating thread only).
    class CreationScope {
      public:
        explicit CreationScope(Host& host);
        ~CreationScope();
        CreationScope(const CreationScope&) = delete;
        CreationScope& operator=(const CreationScope&) = delete;

      private:
        Host* previous_;
    };

    const HostSettings& settings() const { return settings_; }
    void setSampleRate(double rate) { settings_.sampleRate = rate; }
    void setBlockSize(int32_t frames) { settings_.blockSize = frames; }
    void setTransport(const Transport& transport) { transport_ = transport; }
    const Transport& transport() const { return transport_; }
    void setObserver(CallObserver observer) { observer_ = std::move(observer); }

    // What the plug-in has asked of the host so far.
    bool midiWanted() const { return midiWanted_; }
    int32_t automateCount() const { return automateCount_; }

    // The answer this host gives to one call; what callback() returns.
    intptr_t answer(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                    float opt);

    // The capabilities a simple sequencer host has.
    static bool canDo(const char* capability);

  private:
    static Host* forEffect(AEffect* effect);
    const VstTimeInfo* timeInfo();

    HostSettings settings_;
    Transport transport_;
    VstTimeInfo timeInfo_{};
    CallObserver observer_;
    bool midiWanted_ = false;
    int32_t automateCount_ = 0;
};

} // namespace quillo::hosting
