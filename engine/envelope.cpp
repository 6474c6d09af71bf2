#include "engine/envelope.h"

namespace {

// A time of zero or less becomes 1 ms, so a step is never infinite or negative.
float stepFor(float sampleRate, float seconds) {
    if (seconds <= 0) seconds = 0.001f;
    return static_cast<float>(1.0 / (static_cast<double>(sampleRate) * seconds));
}

} // namespace

void Envelope::setSampleRate(float rate) {
    sampleRate = rate;
}

void Envelope::setAttack(float seconds) {
    attackStep = stepFor(sampleRate, seconds);
}

void Envelope::setDecay(float seconds) {
    decayStep = stepFor(sampleRate, seconds);
}

void Envelope::setRelease(float seconds) {
    releaseStep = stepFor(sampleRate, seconds);
}

void Envelope::setSustain(float sustain) {
    sustainLevel = sustain < 0 ? 0.0f : sustain;
}

void Envelope::start() {
    level = 0;
    state = Attack;
}

void Envelope::release() {
    state = Release;
}
