#include "validate/silence.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillo::validate {

SilenceRule SilenceRule::forContext(const Context& context) {
    const double promised = context.promises().exactSilenceSeconds;
    if (promised > 0.0) return {true, 0.0f, promised};
    // Instruments may carry reverb or long releases: be generous.
    return {false, 1.0e-6f, 30.0};
}

std::string SilenceRule::describe() const {
    return exactZeros ? "exact zeros" : "below -120 dBFS";
}

double renderUntilSilent(Session& session, int32_t blockSize, const SilenceRule& rule) {
    const double rate = session.sampleRate();
    const int64_t window = std::max<int64_t>(blockSize, std::llround(0.05 * rate));
    const int64_t limit =
        std::max<int64_t>(std::llround(rule.limitSeconds * rate), window + 4 * blockSize);
    int64_t rendered = 0;
    int64_t silentSince = -1;
    float lastLoudPeak = 0.0f;
    while (rendered < limit) {
        const float peak = session.render(blockSize);
        if (rule.silent(peak)) {
            if (silentSince < 0) silentSince = rendered;
        } else {
            silentSince = -1;
            lastLoudPeak = peak;
        }
        rendered += blockSize;
        if (silentSince >= 0 && rendered - silentSince >= window)
            return static_cast<double>(silentSince) / rate;
    }
    char text[160];
    std::snprintf(text, sizeof text, "not silent (%s) %.1f s after the last note ended: peak %.3g",
                  rule.describe().c_str(), static_cast<double>(rendered) / rate,
                  static_cast<double>(lastLoudPeak));
    fail(text);
}

void releaseEverything(Session& session, RandomMidi& midi, int32_t blockSize) {
    std::vector<ScriptEvent> events;
    midi.releaseAll(events);
    session.render(blockSize, events);
}

} // namespace quillo::validate
