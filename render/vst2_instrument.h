// A VST 2 instrument behind the renderer's Instrument interface: one plug-in
// instance and the event list and silent inputs its blocks need.
#pragma once

#include "hosting/midi_event_list.h"
#include "hosting/plugin_instance.h"
#include "hosting/process_buffers.h"
#include "render/instrument.h"

#include <memory>

namespace quillo::render {

class Vst2Instrument : public Instrument {
  public:
    // Opens the instance and sets its rate and largest block. Throws UserError
    // (without the path) when it is no instrument or cannot render replacing.
    Vst2Instrument(std::unique_ptr<hosting::PluginInstance> plugin, double sampleRate,
                   int32_t maxBlock, size_t eventCapacity = 1024);
    ~Vst2Instrument() override;

    std::optional<Vst2Identity> vst2Identity() override {
        return Vst2Identity{plugin_->uniqueId(), plugin_->version()};
    }

    int32_t numParams() override { return plugin_->numParams(); }
    std::string paramName(int32_t index) override { return plugin_->paramName(index); }
    std::string paramText(int32_t index) override;
    float param(int32_t index) override { return plugin_->param(index); }
    void setParam(int32_t index, float value) override { plugin_->setParam(index, value); }

    int32_t numPrograms() override { return plugin_->numPrograms(); }
    std::string programName(int32_t program) override;
    void setProgram(int32_t program) override { plugin_->setProgram(program); }

    int32_t numOutputs() override { return plugin_->numOutputs(); }
    size_t maxEventsPerBlock() const override { return events_.capacity(); }
    void start() override { plugin_->resume(); }
    void stop() override { plugin_->suspend(); }
    void process(const TimedMidiEvent* events, size_t count, int64_t blockStart,
                 const Transport& transport, float* const* outputs, int32_t frames) override;

    void describe(std::ostream& out) override;

  private:
    std::unique_ptr<hosting::PluginInstance> plugin_;
    hosting::MidiEventList events_;
    hosting::ProcessBuffers inputs_;
};

// Loads a VST 2 plug-in library. Throws UserError "PATH: reason".
std::unique_ptr<InstrumentLibrary> openVst2Library(const std::string& path);

} // namespace quillo::render
