// The built-in phrase of --demo: legato runs, glide, a filter sweep and LFOs,
// with Quillo's parameters set by name for each section.
#pragma once

#include "render/score.h"

namespace quillo::render {

Score demoScore(double sampleRate);

} // namespace quillo::render
