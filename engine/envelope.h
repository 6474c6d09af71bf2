// Linear attack/decay/sustain/release generator; levels run 0..1.
//
// Times become per-sample steps when they are set, at the rate in force then.
//
// Threads: start, release and tick run on the audio thread; the other setters are
// parameter changes from the control thread and may land between any two ticks.
#pragma once

#include <cstdint>

struct Envelope {
    // The numbers are part of the interface: the render loop tests for 99.
    enum State : int32_t { Attack = 1, Decay = 2, Sustain = 3, Release = 4, Finished = 99 };

    float sampleRate = 0; // Hz
    float level = 0;
    float attackStep = 0.001f;
    float decayStep = 0.001f;
    float sustainLevel = 0; // never negative
    float releaseStep = 0.001f;
    int32_t state = Attack;

    // Control thread, like the four below; may run beside the ticks.
    void setSampleRate(float rate);
    void setAttack(float seconds);
    void setDecay(float seconds);
    void setRelease(float seconds);
    void setSustain(float sustain);
    // Audio thread, from the MIDI intake between blocks.
    void start();
    void release();
    // Audio thread.
    float tick();
};

// The per-sample operation is defined here so that the render loop compiles into one
// loop. Each new level is rounded to single precision before it is compared.
inline float Envelope::tick() {
    // Tested in the order of how long an envelope stays in each state: a note spends
    // most of its samples decaying or sustaining.
    if (state == Decay) {
        level -= decayStep;
        if (sustainLevel >= level) { // also jumps up to a sustain raised mid-decay
            level = sustainLevel;
            state = Sustain;
        }
    } else if (state == Sustain) {
        level = sustainLevel; // follows sustain changes without a ramp
    } else if (state == Attack) {
        level += attackStep;
        if (level >= 1) {
            level = 1;
            state = Decay;
        }
    } else if (state == Release) {
        level -= releaseStep;
        if (level <= 0) {
            level = 0;
            state = Finished;
        }
    } // Finished: nothing changes
    return level;
}
