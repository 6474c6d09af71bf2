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

float Envelope::tick() {
    switch (state) {
    case Attack:
        level += attackStep;
        if (level >= 1) {
            level = 1;
            state = Decay;
        }
        break;
    case Decay:
        level -= decayStep;
        if (sustainLevel >= level) { // also jumps up to a sustain raised mid-decay
            level = sustainLevel;
            state = Sustain;
        }
        break;
    case Sustain: level = sustainLevel; break; // follows sustain changes without a ramp
    case Release:
        level -= releaseStep;
        if (level <= 0) {
            level = 0;
            state = Finished;
        }
        break;
    default: break; // Finished
    }
    return level;
}
