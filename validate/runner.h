// Runs checks one by one, each in a child process of its own, so that a crash,
// a sanitizer report or a hang fails that check alone.
#pragma once

#include "validate/check.h"

#include <string>

namespace quillo::validate {

struct Outcome {
    enum class Verdict { Pass, Fail, Skip };
    Verdict verdict = Verdict::Fail;
    std::string detail;
};

// Runs in this process; never throws.
Outcome runHere(const Check& check, const Options& options);
// Runs in a child process, with the timeout of the options.
Outcome runIsolated(const Check& check, const Options& options);

} // namespace quillo::validate
