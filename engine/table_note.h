// Which band-limited tables an oscillator plays at a frequency.
#pragma once

#include "engine/engine_util.h"

#include <cmath>
#include <cstdint>

namespace engine {

// The note value before folding: trunc(ln(f / 8.1757989156) x 17.31234049066756). The
// reference is a hair below the pitch table's first entry, and the factor a hair below a
// true semitone, so from note 17 up a note played at tuning 1 lands just under its own
// number (note 60 gives 59.9999999998).
inline int32_t tableNoteValue(double frequency) {
    return truncateToInt32(std::log(frequency / 8.1757989156) * 17.31234049066756);
}

// The table note. The AND folds frequencies from about 13290 Hz up (value 128 and more)
// onto low notes' tables, and those a semitone or more below 8.1757989156 Hz (value -1
// and less) onto high ones.
inline int32_t tableNote(double frequency) {
    return tableNoteValue(frequency) & 127;
}

} // namespace engine
