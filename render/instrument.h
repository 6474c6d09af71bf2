// What quillo-render needs of an instrument plug-in, whatever its format:
// parameters by index and name with their value texts, programs, and blocks of
// audio rendered with MIDI events at their frames. The renderer deals with
// plug-ins through this interface only; each plug-in format implements it.
#pragma once

#include "hosting/host.h"
#include "hosting/parameter_access.h"
#include "render/score.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace quillo::render {

using hosting::Transport;

using hosting::findParam;
using hosting::valueShowing;

// What a VST 2 plug-in's program and bank files carry to say whose they are.
struct Vst2Identity {
    int32_t uniqueId = 0;
    int32_t version = 0;
};

// The parameters as every tool reaches them (hosting/parameter_access.h), and the rest.
class Instrument : public hosting::ParameterAccess {
  public:
    // VST 2 plug-ins only: the files of other formats are their own.
    virtual std::optional<Vst2Identity> vst2Identity() { return std::nullopt; }

    virtual int32_t numPrograms() = 0;
    virtual std::string programName(int32_t program) = 0;
    virtual void setProgram(int32_t program) = 0;

    virtual int32_t numOutputs() = 0;
    // The most events one process() call takes.
    virtual size_t maxEventsPerBlock() const = 0;
    // Around the blocks of a render.
    virtual void start() = 0;
    virtual void stop() = 0;
    // Renders frames (at most the block size the instrument was made with) into
    // one buffer per output. The events lie in the block: each acts at its frame
    // minus blockStart.
    virtual void process(const TimedMidiEvent* events, size_t count, int64_t blockStart,
                         const Transport& transport, float* const* outputs, int32_t frames) = 0;

    // Identity and capabilities, for --info.
    virtual void describe(std::ostream& out) = 0;
};

// A plug-in file, opened once; each instantiate() makes a fresh instance.
class InstrumentLibrary {
  public:
    // Throws UserError "PATH: reason" when the file is no instrument plug-in
    // this program can render.
    static std::unique_ptr<InstrumentLibrary> open(const std::string& path);

    virtual ~InstrumentLibrary() = default;
    // An instance set to the rate and largest block, ready for its settings.
    virtual std::unique_ptr<Instrument> instantiate(double sampleRate, int32_t maxBlock) = 0;
    virtual const std::string& path() const = 0;
};

} // namespace quillo::render
