// Which band-limited tables an oscillator plays at a frequency, by the logarithm and by
// a table of exact boundaries that gives the same answer without one.
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

// The note value only steps up as the frequency rises, so between two neighbouring
// boundaries it is one number. lowest[k] is the smallest double whose value is at least
// k (for k = 0: above -1, where truncation starts giving 0), found once by bisection over
// the bits of positive doubles with the very logarithm the formula uses: exact
// boundaries, not estimates. In [lowest[0], lowest[128]) the value is 0..127 and the AND
// changes nothing; outside it (the folding ranges, 0, negatives, NaN) find uses the
// logarithm.
struct NoteBrackets {
    double lowest[129];

    void build();

    // tableNote(frequency), trying the bracket of `guess` (0..127) first.
    int32_t find(double frequency, int32_t guess) const {
        if (frequency >= lowest[guess] && frequency < lowest[guess + 1]) return guess;
        if (!(frequency >= lowest[0] && frequency < lowest[128])) return tableNote(frequency);
        int32_t low = 0, high = 128; // lowest[low] <= frequency < lowest[high]
        while (high - low > 1) {
            const int32_t middle = (low + high) / 2;
            if (frequency >= lowest[middle])
                low = middle;
            else
                high = middle;
        }
        return low;
    }
};

} // namespace engine
