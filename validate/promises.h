// What an instrument promises beyond what the checks ask of every instrument.
// Without promises every plug-in is judged by the same generic rules; each promise
// makes the checks it names stricter. One promise per line of a file
// (--promises FILE) or per option (--promise TEXT):
//
//   exact-silence SECONDS      after the notes end, every sample is exactly 0
//                              within SECONDS (otherwise: below -120 dBFS
//                              within 30 s)
//   unknown-opcodes-answer-0   opcodes past the last one the interface defines
//                              answer 0
//   program-names N            effSetProgramName keeps names of up to N
//                              characters (1..23) and cuts longer ones to N
//   ignores-invalid-sample-rates
//                              a rate of 0, below 0 or not finite is ignored:
//                              the output stays valid while it is set
//   near-silence-patch NAME=VALUE, ...
//   near-silence-by NAME=VALUE, ...
//                              from the patch, with a note held, the second
//                              setting lets the signal fade towards zero while
//                              the instrument keeps processing (otherwise the
//                              note is released); parameters by name, any case
//
// Lines starting with # are comments.
#pragma once

#include <string>
#include <vector>

namespace quillo::validate {

struct ParameterSetting {
    std::string name;
    float value = 0.0f;
};

struct Promises {
    double exactSilenceSeconds = 0.0; // 0: no promise
    bool unknownOpcodesAnswerZero = false;
    int programNameLength = 0; // 0: no promise
    bool ignoresInvalidSampleRates = false;
    std::vector<ParameterSetting> nearSilencePatch;
    std::vector<ParameterSetting> nearSilenceBy; // empty: no promise

    // Adds one promise; throws std::invalid_argument with the reason on a line it
    // cannot read.
    void add(const std::string& line);
    // Adds every promise in the file; errors name the file and line.
    void load(const std::string& path);
    // The promises as given, in order, for the report.
    const std::vector<std::string>& given() const { return given_; }

  private:
    std::vector<std::string> given_;
};

} // namespace quillo::validate
