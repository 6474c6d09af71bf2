// An LV2 instrument behind the renderer's Instrument interface: its control inputs
// as the parameters (normalised over each port's range), its presets as the
// programs, the MIDI of a block as an atom sequence, and its audio outputs summed
// into left and right as the plug-in declares them.
#pragma once

#include "hosting/lv2_plugin.h"
#include "render/instrument.h"

#include <memory>
#include <vector>

namespace quillo::render {

class Lv2Instrument : public Instrument {
  public:
    Lv2Instrument(std::shared_ptr<hosting::Lv2Library> library, double sampleRate,
                  int32_t maxBlock);

    int32_t numParams() override { return static_cast<int32_t>(controls_.size()); }
    std::string paramName(int32_t index) override { return port(index).name; }
    std::string paramSymbol(int32_t index) override { return port(index).symbol; }
    std::string paramText(int32_t index) override;
    float param(int32_t index) override;
    void setParam(int32_t index, float value) override;

    int32_t numPrograms() override;
    std::string programName(int32_t program) override;
    void setProgram(int32_t program) override;

    // Left and right, whatever the plug-in has.
    int32_t numOutputs() override { return 2; }
    size_t maxEventsPerBlock() const override { return instance_.eventCapacity(); }
    void start() override { instance_.activate(); }
    void stop() override { instance_.deactivate(); }
    void process(const TimedMidiEvent* events, size_t count, int64_t blockStart,
                 const Transport& transport, float* const* outputs, int32_t frames) override;

    void describe(std::ostream& out) override;

  private:
    const hosting::Lv2Port& port(int32_t index) const { return *controls_.at(index); }

    std::shared_ptr<hosting::Lv2Library> library_;
    hosting::Lv2Instance instance_;
    std::vector<const hosting::Lv2Port*> controls_; // the control inputs, in port order
    std::vector<hosting::Lv2Instance::MidiEvent> events_;
};

// Opens an LV2 bundle folder or plug-in URI. Throws UserError "WHAT: reason".
std::unique_ptr<InstrumentLibrary> openLv2Library(const std::string& bundleOrUri);

} // namespace quillo::render
