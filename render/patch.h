// The settings a render starts from, made on a fresh instance before its first block.
#pragma once

#include "render/instrument.h"
#include "render/options.h"

namespace quillo::render {

// The program first, then the parameters, so --param adjusts the chosen program.
void applySettings(Instrument& plugin, const Options& options);

} // namespace quillo::render
