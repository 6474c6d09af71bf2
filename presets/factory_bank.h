// Quillo's factory sounds, compiled from presets/factory.txt at build time.
#pragma once

#include "synth/parameters.h"

#include <string>

// The phrase that shows a preset off: what it is made to play.
enum class Audition {
    Bass,   // a bass line, low register
    Lead,   // a melody with slurred runs and wide leaps for the glide
    Pad,    // long held chords as one line
    Keys,   // short and middle-length notes, a small tune
    Hits,   // a few short notes far apart, left to ring out
    Effect, // long notes, room for the modulation to move
};

struct FactoryPreset {
    const char* name;  // at most 23 characters, as a program name holds
    const char* slug;  // lower case and hyphens: file names and LV2 preset URIs
    const char* about; // one line on the design
    Audition audition;
    float values[kNumParameters];
    const char* texts[kNumParameters]; // the value texts the plug-in shows
};

extern const FactoryPreset kFactoryPresets[];
extern const int kNumFactoryPresets;

// Lower case and hyphens: "Acid Squelch" -> "acid-squelch".
std::string presetSlug(const std::string& name);

// By name in any case, or by slug; null when there is none.
const FactoryPreset* findFactoryPreset(const std::string& name);

const char* auditionName(Audition audition);
