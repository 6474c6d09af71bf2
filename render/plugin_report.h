// The texts of --info (for VST 2 plug-ins) and --list-params.
#pragma once

#include "hosting/plugin_instance.h"
#include "render/instrument.h"

#include <ostream>

namespace quillo::render {

// Identity, versions, counts, flags, unique id, category, canDo answers and
// parameter names.
void printInfo(hosting::PluginInstance& plugin, std::ostream& out);

// Every parameter as a generic control view shows it: index, name, value, text.
void printParameters(Instrument& instrument, std::ostream& out);

// Every program's number and name.
void printPrograms(Instrument& instrument, std::ostream& out);

// The unique id as four characters, non-printable bytes as '.'.
std::string fourCharacters(int32_t code);

} // namespace quillo::render
