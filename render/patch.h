// The settings a render starts from, made on a fresh instance before its first block:
// a bank into the programs, the program, a preset over it, single parameters last.
#pragma once

#include "render/instrument.h"
#include "render/options.h"

#include <ostream>
#include <string>

namespace quillo::render {

// Throws UserError naming the option that cannot be followed.
void applySettings(Instrument& plugin, const Options& options);

// Writes the plug-in's parameters as a VST 2 program file named after the file.
// Throws UserError.
void savePreset(Instrument& plugin, const std::string& path);

// The names --preset takes: Quillo's factory presets, or an LV2 plug-in's presets.
// Throws UserError for a plug-in that has none.
void printPresets(Instrument& plugin, std::ostream& out);

} // namespace quillo::render
