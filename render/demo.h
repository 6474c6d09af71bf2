// The built-in phrases: the demo, and the notes of --notes.
//
// The phrase of --demo: legato runs, glide, a filter sweep and LFOs,
// with Quillo's parameters set by name for each section.
#pragma once

#include "render/score.h"

#include <vector>

namespace quillo::render {

Score demoScore(double sampleRate);

// --notes: each key in turn at velocity 100, held for a second and followed by a
// second for its release; the music ends after the last one's second.
Score notesScore(const std::vector<int>& keys, double sampleRate);

// How long that takes.
double notesSeconds(const std::vector<int>& keys);

} // namespace quillo::render
