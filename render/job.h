// One render of quillo-render: a MIDI file (or the demo) through a fresh instance
// of the instrument into one output, with the options of the command line.
#pragma once

#include "render/instrument.h"
#include "render/options.h"

#include <string>

namespace quillo::render {

struct Job {
    std::string input; // a MIDI file, "-", or empty for the demo
    std::string output;
};

// Renders the job and prints its summary. Throws UserError.
void renderJob(InstrumentLibrary& library, const Options& options, const Job& job);

} // namespace quillo::render
