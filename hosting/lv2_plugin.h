// Loading and driving LV2 plug-ins through lilv: the host side of quillo-render for
// LV2 instruments.
//
// An Lv2Library is one plug-in's description in its own lilv world; each Lv2Instance
// made from it is one running instance with its ports connected to buffers the
// instance owns. Hosts provide urid:map and urid:unmap, options:options (sample rate,
// nominal, smallest and largest block, sequence size) and buf-size:boundedBlockLength.
#pragma once

#include <lilv/lilv.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillo::hosting {

struct Lv2Port {
    enum class Kind { ControlIn, ControlOut, AudioIn, AudioOut, AtomIn, AtomOut, CvIn, CvOut };
    // Where an audio output goes in a stereo file.
    enum class Channel { Left, Right, Both };

    uint32_t index = 0;
    Kind kind = Kind::ControlIn;
    std::string symbol;
    std::string name;
    float minimum = 0.0f, maximum = 1.0f, defaultValue = 0.0f;
    bool toggled = false, integer = false, logarithmic = false;
    std::vector<std::pair<float, std::string>> scalePoints;
    std::string unit;  // the unit's symbol ("Hz", "dB"), if the port names one
    bool midi = false; // an atom input that takes MIDI events
    Channel channel = Channel::Both;
};

// Maps URIs to numbers for the plug-ins of a library; any thread.
class UridMap {
  public:
    uint32_t map(const char* uri);
    const char* unmap(uint32_t urid);

  private:
    std::mutex mutex_;
    std::map<std::string, uint32_t> ids_;
    std::vector<std::unique_ptr<std::string>> uris_; // stable addresses for unmap
};

class Lv2Library {
  public:
    // A bundle folder (one that holds a manifest.ttl) or a plug-in URI looked up on
    // LV2_PATH. A bundle with several plug-ins wants the URI. Throws UserError.
    static std::shared_ptr<Lv2Library> open(const std::string& bundleOrUri);
    // Whether the text names an LV2 plug-in rather than a VST 2 library file.
    static bool looksLikeLv2(const std::string& text);

    ~Lv2Library();
    Lv2Library(const Lv2Library&) = delete;
    Lv2Library& operator=(const Lv2Library&) = delete;

    const std::string& uri() const { return uri_; }
    const std::string& name() const { return name_; }
    const std::string& author() const { return author_; }
    const std::string& className() const { return className_; }
    const std::string& bundle() const { return bundle_; }
    const std::vector<Lv2Port>& ports() const { return ports_; }
    const std::vector<std::string>& requiredFeatures() const { return requiredFeatures_; }
    // A plug-in of the instrument class, or one with a MIDI input and audio outputs.
    bool isInstrument() const;
    // The presets' labels and URIs, by label.
    const std::vector<std::pair<std::string, std::string>>& presets() const { return presets_; }
    // The port values a preset stores, by symbol.
    std::map<std::string, float> presetValues(const std::string& presetUri);

  private:
    friend class Lv2Instance;
    Lv2Library() = default;
    void describe();

    std::mutex mutex_; // lilv's world is not for two threads at once
    LilvWorld* world_ = nullptr;
    const LilvPlugin* plugin_ = nullptr;
    UridMap urids_;
    std::string uri_, name_, author_, className_, bundle_;
    std::vector<Lv2Port> ports_;
    std::vector<std::string> requiredFeatures_;
    std::vector<std::pair<std::string, std::string>> presets_;
};

class Lv2Instance {
  public:
    // Instantiates at the rate for blocks of up to maxBlock frames; control inputs
    // start at their defaults. Throws UserError.
    Lv2Instance(std::shared_ptr<Lv2Library> library, double sampleRate, int32_t maxBlock);
    ~Lv2Instance();
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    void activate();
    void deactivate();

    // The value a port holds (control ports only).
    float& control(uint32_t port) { return controls_[port]; }

    struct MidiEvent {
        int64_t frame; // within the block
        const uint8_t* bytes;
        uint32_t size;
    };
    // The most MIDI events one block can carry.
    size_t eventCapacity() const;
    // One block: the MIDI events in order into every MIDI input, then run; each audio
    // output is summed into left and right by its channel.
    void run(const MidiEvent* events, size_t count, float* left, float* right, int32_t frames);

  private:
    std::shared_ptr<Lv2Library> library_;
    LilvInstance* instance_ = nullptr;
    bool active_ = false;
    int32_t maxBlock_;
    std::vector<float> controls_;              // by port index
    std::vector<std::vector<float>> audio_;    // by port index, maxBlock frames each
    std::vector<std::vector<uint64_t>> atoms_; // by port index, 8-byte aligned
    // The ports a block touches, found once.
    std::vector<const Lv2Port*> atomIns_, atomOuts_, audioOuts_;
    // An output that alone makes the left or the right channel, written straight in.
    const Lv2Port* direct_[2] = {nullptr, nullptr};
    uint32_t sequenceType_ = 0, chunkType_ = 0, midiType_ = 0;

    // The features and options handed to the plug-in, which may keep pointers to them.
    LV2_URID_Map map_{};
    LV2_URID_Unmap unmap_{};
    float sampleRate_ = 0.0f;
    int32_t minBlock_ = 1;
    int32_t sequenceSize_ = 0;
    std::vector<LV2_Options_Option> options_;
    std::vector<LV2_Feature> features_;
    std::vector<const LV2_Feature*> featureList_;
};

} // namespace quillo::hosting
