// When an instrument counts as silent, and how long it may take to get there.
#pragma once

#include "validate/check.h"
#include "validate/events.h"
#include "validate/session.h"

namespace quillo::validate {

struct SilenceRule {
    bool exactZeros;     // promised: every sample exactly 0
    float threshold;     // otherwise: peak below -120 dBFS
    double limitSeconds; // the longest tail allowed after the last note ends

    static SilenceRule forContext(const Context& context);
    bool silent(float peak) const { return exactZeros ? peak == 0.0f : peak < threshold; }
    std::string describe() const;
};

// Renders blocks of blockSize frames until a stretch of silence (50 ms, at least
// one block) has passed. Returns the seconds until that silence began; fails if
// it does not come within the rule's limit.
double renderUntilSilent(Session& session, int32_t blockSize, const SilenceRule& rule);

// Lets go of every key the stream holds and sends the controllers that end
// notes, in one block of blockSize frames.
void releaseEverything(Session& session, RandomMidi& midi, int32_t blockSize);

} // namespace quillo::validate
