// The instrument's 32 programs. Parameter changes land in the current program, so an
// edit survives switching away and back for as long as the instance lives.

#include "synth/synth_core.h"

#include <cstring>

// Loads through setParameter in ascending order, which writes each value back where
// it came from. The order matters for glide: its type is applied before its amount.
void SynthCore::setProgram(int32_t program) {
    if (program < 0 || program >= kNumPrograms) return;
    currentProgram = program;
    for (int32_t i = 0; i < kNumParameters; ++i)
        setParameter(i, programs[program].values[i]);
}

// A longer name is cut to what the field holds; the field is always terminated.
void SynthCore::setProgramName(const char* name) {
    if (!name) return;
    char* field = programs[currentProgram].name;
    std::strncpy(field, name, ProgramRecord::kNameSize - 1);
    field[ProgramRecord::kNameSize - 1] = 0;
}

const char* SynthCore::programName(int32_t program) const {
    if (program < 0 || program >= kNumPrograms) return nullptr;
    return programs[program].name;
}
