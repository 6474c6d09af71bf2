// The noise and sample-and-hold source: a 15-bit linear congruential generator.
//
// One seed per thread, starting at 1, so instances rendering on different threads
// never race on it. Within one output sample the draws come in a fixed order:
// LFO 1's sample-and-hold, LFO 2's, oscillator 1's noise, oscillator 2's noise.
#pragma once

#include <cstdint>

namespace random_source {

// initial-exec: the seed lives in the static TLS block that glibc reserves when the
// library is loaded, so the first draw on a new audio thread allocates nothing (the
// default model for a dlopen'ed library allocates on a thread's first access).
inline thread_local uint32_t seed __attribute__((tls_model("initial-exec"))) = 1;

// Next value, 0..32767.
inline int next() {
    seed = seed * 214013u + 2531011u;
    return static_cast<int>((seed >> 16) & 0x7FFFu);
}

// Next value as a sample in -1..1 (0 gives -1.0, 32767 gives +1.0).
inline double nextSample() {
    return next() / 32767.0 * 2.0 - 1.0;
}

} // namespace random_source
