// Band-limited single-cycle tables for the oscillators, rebuilt per sample rate.
//
// 257 tables of 512 points in one contiguous array: saw tables for notes 0..127,
// triangle tables for notes 0..127, and one sine. Each saw and triangle table holds
// the harmonics that fit below half the sample rate for its note (at least the 8 of
// the top tables, at most 384).
#pragma once

#include <cstdint>

struct WavetableBank {
    static constexpr int kPoints = 512;
    static constexpr int kNotes = 128;
    static constexpr int kSize = 257 * kPoints; // 131584 floats

    float points[kSize];
    // How many harmonics each note's tables hold. The tables depend on the rate only
    // through these counts, so a rate that gives the counts already built (the same
    // rate, above all, which hosts set again after creating an instance) leaves them be.
    int16_t harmonics[kNotes];
    bool built = false;

    // Makes every table what it is at this rate (Hz): rewrites every point, unless the
    // tables already hold what a rewrite would give. Control thread, never while the
    // audio thread reads the tables.
    void rebuild(float sampleRate);

    // The tables; audio thread.

    const float* sawTable(int note) const { return points + (note << 9); }
    const float* triangleTable(int note) const { return points + ((note | 0x80) << 9); }
    const float* sineTable() const { return points + (256 << 9); }
};
