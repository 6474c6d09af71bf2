#include "engine/table_note.h"

#include <cfloat>

namespace engine {
namespace {

// Whether the value at f has reached k: at least k, or for k = 0 above -1 (truncation
// toward zero gives 0 from just above -1).
bool reaches(double f, int32_t k) {
    return tableNoteValue(f) >= k;
}

} // namespace

void NoteBrackets::build() {
    for (int32_t k = 0; k <= 128; ++k) {
        // Positive doubles order like their bits. Start from a narrow bracket around the
        // estimate and widen to every positive double if it does not hold the boundary.
        const double estimate = 8.1757989156 * std::exp((k == 0 ? -1 : k) / 17.31234049066756);
        uint64_t below = doubleBits(estimate * 0.999999); // value < k
        uint64_t above = doubleBits(estimate * 1.000001); // value >= k
        if (reaches(doubleFromBits(below), k) || !reaches(doubleFromBits(above), k)) {
            below = doubleBits(DBL_TRUE_MIN);
            above = doubleBits(DBL_MAX);
        }
        while (above - below > 1) {
            const uint64_t middle = below + (above - below) / 2;
            if (reaches(doubleFromBits(middle), k))
                above = middle;
            else
                below = middle;
        }
        lowest[k] = doubleFromBits(above);
    }
}

} // namespace engine
