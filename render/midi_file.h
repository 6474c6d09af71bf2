// Standard MIDI Files (type 0 and 1) turned into a Score: all tracks merged,
// tempo changes honoured, every channel message kept at its frame.
#pragma once

#include "render/score.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillo::render {

// Throws RenderError "PATH: reason" when the file is missing, unreadable or not
// a well-formed type 0 or 1 MIDI file.
Score loadMidiFile(const std::string& path, double sampleRate);

// The same for the bytes of a file; errors say "reason" alone.
Score parseMidiFile(const std::vector<uint8_t>& bytes, double sampleRate);

} // namespace quillo::render
