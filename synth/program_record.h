// One program: a full set of parameter values with a name. The bank of 32 lives in
// memory only; hosts save parameter values themselves.
#pragma once

#include "synth/parameters.h"

constexpr int32_t kNumPrograms = 32;

struct ProgramRecord {
    static constexpr int kNameSize = 24; // 23 characters and the terminating zero

    float values[kNumParameters];
    char name[kNameSize];

    ProgramRecord() : name{'-', '-', '-', '-', 0} {
        for (int i = 0; i < kNumParameters; ++i)
            values[i] = kParameterTable[i].defaultValue;
    }
};
