#include "render/lv2_instrument.h"

#include "hosting/user_error.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iomanip>

namespace quillo::render {
namespace {

class Lv2InstrumentLibrary : public InstrumentLibrary {
  public:
    Lv2InstrumentLibrary(std::shared_ptr<hosting::Lv2Library> library, std::string name)
        : library_(std::move(library)), name_(std::move(name)) {}

    std::unique_ptr<Instrument> instantiate(double sampleRate, int32_t maxBlock) override {
        try {
            return std::make_unique<Lv2Instrument>(library_, sampleRate, maxBlock);
        } catch (const UserError& error) {
            throw UserError(name_ + ": " + error.what());
        }
    }
    const std::string& path() const override { return name_; }

  private:
    std::shared_ptr<hosting::Lv2Library> library_;
    std::string name_;
};

// Six significant digits, or as many as it takes to read back as the same value.
std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", double(value));
    if (std::strtof(text, nullptr) != value)
        std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

} // namespace

std::unique_ptr<InstrumentLibrary> openLv2Library(const std::string& bundleOrUri) {
    try {
        auto library = hosting::Lv2Library::open(bundleOrUri);
        if (!library->isInstrument())
            throw UserError("not an instrument (neither of the instrument class nor with a "
                            "MIDI input and audio outputs)");
        return std::make_unique<Lv2InstrumentLibrary>(std::move(library), bundleOrUri);
    } catch (const UserError& error) {
        throw UserError(bundleOrUri + ": " + error.what());
    }
}

Lv2Instrument::Lv2Instrument(std::shared_ptr<hosting::Lv2Library> library, double sampleRate,
                             int32_t maxBlock)
    : library_(library), instance_(std::move(library), sampleRate, maxBlock) {
    bool audioOut = false;
    for (const hosting::Lv2Port& p : library_->ports()) {
        if (p.kind == hosting::Lv2Port::Kind::ControlIn) controls_.push_back(&p);
        audioOut = audioOut || p.kind == hosting::Lv2Port::Kind::AudioOut;
    }
    if (!audioOut) throw UserError("has no audio outputs");
}

// The normalised value 0..1 over the port's range: linear, or logarithmic where the
// port says so; integer and toggled ports take whole values.
void Lv2Instrument::setParam(int32_t index, float value) {
    const hosting::Lv2Port& p = port(index);
    const double v = value;
    double actual = p.logarithmic && p.minimum > 0.0f && p.maximum > 0.0f
                        ? p.minimum * std::pow(double(p.maximum) / p.minimum, v)
                        : p.minimum + v * (double(p.maximum) - p.minimum);
    if (p.toggled) actual = v > 0.5 ? p.maximum : p.minimum;
    if (p.integer) actual = std::round(actual);
    instance_.control(p.index) = static_cast<float>(actual);
}

float Lv2Instrument::param(int32_t index) {
    const hosting::Lv2Port& p = port(index);
    const double actual = instance_.control(p.index);
    if (p.maximum == p.minimum) return 0.0f;
    if (p.logarithmic && p.minimum > 0.0f && p.maximum > 0.0f && actual > 0.0)
        return static_cast<float>(std::log(actual / p.minimum) /
                                  std::log(double(p.maximum) / p.minimum));
    return static_cast<float>((actual - p.minimum) / (double(p.maximum) - p.minimum));
}

// A scale point's label where the value is one, else the number with its unit.
std::string Lv2Instrument::paramText(int32_t index) {
    const hosting::Lv2Port& p = port(index);
    const float actual = instance_.control(p.index);
    for (const auto& [value, label] : p.scalePoints)
        if (value == actual) return label;
    if (p.toggled) return actual > 0.0f ? "on" : "off";
    return number(actual) + (p.unit.empty() ? "" : " " + p.unit);
}

int32_t Lv2Instrument::numPrograms() {
    return static_cast<int32_t>(library_->presets().size());
}

std::string Lv2Instrument::programName(int32_t program) {
    return library_->presets().at(static_cast<size_t>(program)).first;
}

// A preset sets the control inputs it stores; the others keep their values.
void Lv2Instrument::setProgram(int32_t program) {
    const auto values = library_->presetValues(library_->presets().at(size_t(program)).second);
    for (const hosting::Lv2Port* p : controls_) {
        const auto found = values.find(p->symbol);
        if (found != values.end()) instance_.control(p->index) = found->second;
    }
}

void Lv2Instrument::process(const TimedMidiEvent* events, size_t count, int64_t blockStart,
                            const Transport&, float* const* outputs, int32_t frames) {
    events_.clear();
    for (size_t i = 0; i < count; ++i)
        events_.push_back({std::max<int64_t>(events[i].frame - blockStart, 0), events[i].bytes,
                           events[i].length});
    instance_.run(events_.data(), events_.size(), outputs[0], outputs[1], frames);
}

void Lv2Instrument::describe(std::ostream& out) {
    const hosting::Lv2Library& l = *library_;
    auto row = [&](const char* what, const std::string& value) {
        out << std::left << std::setw(16) << what << value << "\n";
    };
    row("Plug-in", l.uri() + " (LV2)");
    row("Bundle", l.bundle());
    row("Name", l.name());
    row("Author", l.author());
    row("Class", l.className());
    std::string features;
    for (const std::string& f : l.requiredFeatures())
        features += (features.empty() ? "" : " ") + f;
    row("Needs", features.empty() ? "nothing" : features);
    int controls = 0, midi = 0, audio = 0;
    for (const hosting::Lv2Port& p : l.ports()) {
        controls += p.kind == hosting::Lv2Port::Kind::ControlIn;
        midi += p.midi;
        audio += p.kind == hosting::Lv2Port::Kind::AudioOut;
    }
    row("Controls", std::to_string(controls));
    row("MIDI inputs", std::to_string(midi));
    row("Audio outputs", std::to_string(audio));
    row("Presets", std::to_string(l.presets().size()));
    out << "Ports\n";
    for (const hosting::Lv2Port& p : l.ports()) {
        static const char* const kinds[] = {"control in", "control out", "audio in", "audio out",
                                            "atom in",    "atom out",    "CV in",    "CV out"};
        out << "  " << std::right << std::setw(3) << p.index << "  " << std::left << std::setw(12)
            << kinds[static_cast<int>(p.kind)] << std::setw(16) << p.symbol << p.name;
        if (p.kind == hosting::Lv2Port::Kind::ControlIn)
            out << " (" << number(p.minimum) << " to " << number(p.maximum) << ", default "
                << number(p.defaultValue) << ")";
        if (p.midi) out << " (MIDI)";
        out << "\n";
    }
}

} // namespace quillo::render
