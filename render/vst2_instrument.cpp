#include "render/vst2_instrument.h"

#include "hosting/user_error.h"
#include "render/plugin_report.h"

#include <algorithm>
#include <cstring>

namespace quillo::render {
namespace {

class Vst2Library : public InstrumentLibrary {
  public:
    explicit Vst2Library(std::shared_ptr<hosting::PluginLibrary> library)
        : library_(std::move(library)) {}

    std::unique_ptr<Instrument> instantiate(double sampleRate, int32_t maxBlock) override {
        try {
            hosting::HostSettings settings;
            settings.sampleRate = sampleRate;
            settings.blockSize = maxBlock;
            settings.product = "quillo-render";
            return std::make_unique<Vst2Instrument>(
                hosting::PluginInstance::create(library_, settings), sampleRate, maxBlock);
        } catch (const UserError& error) {
            throw UserError(path() + ": " + error.what());
        }
    }

    const std::string& path() const override { return library_->path(); }

  private:
    std::shared_ptr<hosting::PluginLibrary> library_;
};

} // namespace

std::unique_ptr<InstrumentLibrary> openVst2Library(const std::string& path) {
    try {
        return std::make_unique<Vst2Library>(hosting::PluginLibrary::open(path));
    } catch (const UserError& error) {
        throw UserError(path + ": " + error.what());
    }
}

Vst2Instrument::Vst2Instrument(std::unique_ptr<hosting::PluginInstance> plugin, double sampleRate,
                               int32_t maxBlock, size_t eventCapacity)
    : plugin_(std::move(plugin)), events_(eventCapacity),
      inputs_(plugin_->numInputs(), 0, maxBlock) {
    if (!plugin_->isInstrument()) {
        throw UserError("not an instrument (neither flagged as a synth nor in the synth "
                        "category)");
    }
    if (plugin_->numOutputs() < 1) throw UserError("has no audio outputs");
    if (!plugin_->effect()->processReplacing || !(plugin_->flags() & effFlagsCanReplacing)) {
        throw UserError("cannot process replacing, the only way this host renders");
    }
    plugin_->open();
    plugin_->setSampleRate(sampleRate);
    plugin_->setBlockSize(maxBlock);
}

Vst2Instrument::~Vst2Instrument() = default; // the instance closes itself

std::string Vst2Instrument::paramText(int32_t index) {
    std::string text = plugin_->paramDisplay(index);
    const std::string label = plugin_->paramLabel(index);
    if (!label.empty()) text += " " + label;
    return text;
}

std::string Vst2Instrument::programName(int32_t program) {
    char name[256] = {};
    if (plugin_->dispatch(effGetProgramNameIndexed, program, -1, name) != 0) {
        name[sizeof name - 1] = '\0';
        return name;
    }
    // Plug-ins without the indexed query name only their current program.
    const int32_t current = plugin_->program();
    plugin_->setProgram(program);
    std::string text = plugin_->programName();
    plugin_->setProgram(current);
    return text;
}

void Vst2Instrument::process(const TimedMidiEvent* events, size_t count, int64_t blockStart,
                             const Transport& transport, float* const* outputs, int32_t frames) {
    plugin_->host().setTransport(transport);
    if (count > 0) {
        events_.clear();
        for (size_t i = 0; i < count; ++i) {
            const auto delta =
                static_cast<int32_t>(std::max<int64_t>(events[i].frame - blockStart, 0));
            events_.add(delta, events[i].bytes, events[i].length);
        }
        plugin_->processEvents(events_.vstEvents());
    }
    plugin_->processReplacing(inputs_.inputs(), const_cast<float**>(outputs), frames);
}

void Vst2Instrument::describe(std::ostream& out) {
    printInfo(*plugin_, out);
}

} // namespace quillo::render
