#include "engine/lfo.h"

#include "engine/engine_util.h"
#include "engine/random_source.h"

void Lfo::setSampleRate(float rate) {
    sampleRate = rate;
    phaseScale = 512.0 / rate;
    engine::fillSineTable(sineTable);
}

void Lfo::setRate(float x) {
    // x² × 50 + 0.1 Hz, 0.1 to 50.1 Hz; the 0.1 is single precision.
    const double hz = static_cast<double>(x) * x * 50.0 + static_cast<double>(0.1f);
    increment = static_cast<float>(hz * phaseScale);
}

void Lfo::setShape(float x) {
    if (x < 0.25f)
        shape = 0;
    else if (x < 0.5f)
        shape = 1;
    else if (x < 0.75f)
        shape = 2;
    else
        shape = 3;
}

void Lfo::setDestination(float x) {
    destination = engine::fiveWayChoice(x);
}

float Lfo::tick(float& heldValue) {
    phase += increment;
    const bool wrapped = engine::wrapPhase(phase);

    double value;
    switch (shape) {
    case 0: {
        const int32_t i = engine::truncateToInt32(phase);
        const double fraction = phase - i;
        const double a = sineTable[static_cast<uint32_t>(i) & engine::kTableMask];
        const double b = sineTable[(static_cast<uint32_t>(i) + 1u) & engine::kTableMask];
        value = a + (b - a) * fraction;
        break;
    }
    case 1: value = phase < 256.0 ? -1.0 : 1.0; break;
    case 2: value = phase * 0.001953125 * 2.0 - 1.0; break; // -1 at 0 rising to +1 at 512
    default:
        // Renewed only on this LFO's own wraps, but shared with the other LFO.
        if (wrapped) heldValue = static_cast<float>(random_source::nextSample());
        value = heldValue;
        break;
    }
    return static_cast<float>(depth * static_cast<double>(static_cast<float>(value)));
}
