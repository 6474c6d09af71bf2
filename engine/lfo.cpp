#include "engine/lfo.h"

#include "engine/engine_util.h"

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
    shape = shapeFor(x);
}

void Lfo::setDestination(float x) {
    destination = destinationFor(x);
}
