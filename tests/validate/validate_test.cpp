// quillo-validate against an instrument broken on purpose, one fault at a time
// (faulty_plugin.cpp): each fault must fail the check that guards against it,
// and the unbroken instrument must pass them all.
#include "validate/known_failures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

struct Outcome {
    int status = -1;
    std::string output;
};

Outcome validate(const std::string& arguments, const std::string& fault = "") {
    const std::string command = (fault.empty() ? "" : "QUILLO_FAULT=" + fault + " ") +
                                QUILLO_VALIDATE + " " + arguments + " 2>&1";
    Outcome run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The verdict line of the named check, or an empty text.
std::string lineOf(const Outcome& run, const std::string& check) {
    std::istringstream lines(run.output);
    std::string line;
    while (std::getline(lines, line)) {
        const bool verdict = line.rfind("PASS  ", 0) == 0 || line.rfind("FAIL  ", 0) == 0 ||
                             line.rfind("KNOWN ", 0) == 0;
        if (verdict && line.find(check) != std::string::npos) return line;
    }
    return {};
}

std::string lastLine(const std::string& text) {
    const size_t end = text.find_last_not_of('\n');
    const size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - start);
}

const std::string kPlugin = FAULTY_PLUGIN;

// A stale entry in the list of known failures is pointed out, not held against it.
TEST(ValidatorOnFaultyPlugin, UnbrokenInstrumentPassesEveryCheck) {
    const std::string list = testing::TempDir() + "stale_known_failures.txt";
    std::ofstream(list) << "a held note sounds | not silent*\n";
    const Outcome run = validate("--quick --known-failures " + list + " " + kPlugin);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("FAIL"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("NOTE  nothing failed as listed in " + list +
                              ": a held note sounds | not silent*"),
              std::string::npos)
        << run.output;
    const std::string checks = validate("--list").output;
    const auto count = std::count(checks.begin(), checks.end(), '\n');
    EXPECT_EQ(lastLine(run.output), std::to_string(count) + " passed, 0 failed") << run.output;
}

struct Fault {
    const char* fault;
    const char* check;
    const char* reason;
};

void PrintTo(const Fault& fault, std::ostream* out) {
    *out << fault.fault;
}

class ValidatorCatches : public testing::TestWithParam<Fault> {};

TEST_P(ValidatorCatches, FaultFailsItsCheck) {
    const Fault& f = GetParam();
    const Outcome run =
        validate("--quick --only \"" + std::string(f.check) + "\" " + kPlugin, f.fault);
    EXPECT_EQ(run.status, 1) << run.output;
    const std::string line = lineOf(run, f.check);
    EXPECT_EQ(line.rfind("FAIL  ", 0), 0u) << run.output;
    EXPECT_NE(line.find(f.reason), std::string::npos) << line;
    EXPECT_EQ(lastLine(run.output), "0 passed, 1 failed") << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ValidatorCatches,
    testing::Values(Fault{"alloc", "no memory allocation", "in processReplacing"},
                    Fault{"overrun", "processing at 44100 Hz", "wrote past the end of output 1"},
                    Fault{"unwritten", "processing at 48000 Hz", "left unwritten"},
                    Fault{"nan", "a held note sounds", "is nan"},
                    Fault{"drift", "parameters read back exactly",
                          "set to 0.45121491 reads 0.449999988"},
                    Fault{"long-name", "parameter names, labels",
                          "name wrote past the end of its 64-byte buffer"},
                    Fault{"crash", "every opcode", "during opcode 50 (effVendorSpecific)"},
                    Fault{"no-release", "a held note sounds", "not silent (below -120 dBFS)"},
                    Fault{"shared", "identical output", "outputs differ"},
                    Fault{"forget", "switching through all programs", "after switching back"}),
    [](const testing::TestParamInfo<Fault>& info) {
        std::string name = info.param.fault;
        for (char& c : name)
            if (c == '-') c = '_';
        return name;
    });

const std::string kEveryPromise =
    "--promise 'exact-silence 1' --promise unknown-opcodes-answer-0 --promise 'program-names 23' "
    "--promise ignores-invalid-sample-rates --promise 'near-silence-patch pitch=0.2, Gain=0.5' "
    "--promise 'near-silence-by Gain=0'";

TEST(ValidatorOnFaultyPlugin, UnbrokenInstrumentKeepsEveryPromise) {
    const Outcome run = validate("--quick " + kEveryPromise + " " + kPlugin);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Promised: near-silence-by Gain=0"), std::string::npos);
    EXPECT_NE(lineOf(run, "near-silent").find("made quiet by Gain=0"), std::string::npos)
        << run.output;
}

// Each of these faults is allowed to any instrument and fails only the one that
// promised otherwise.
struct BrokenPromise {
    const char* fault;
    const char* promise;
    const char* check;
    const char* reason;
};

void PrintTo(const BrokenPromise& broken, std::ostream* out) {
    *out << broken.fault;
}

class ValidatorHolds : public testing::TestWithParam<BrokenPromise> {};

TEST_P(ValidatorHolds, OnlyAPromiseTurnsTheFaultIntoAFailure) {
    const BrokenPromise& b = GetParam();
    const std::string only = "--quick --only \"" + std::string(b.check) + "\" ";
    const Outcome promised = validate(only + "--promise '" + b.promise + "' " + kPlugin, b.fault);
    EXPECT_EQ(promised.status, 1) << promised.output;
    const std::string line = lineOf(promised, b.check);
    EXPECT_EQ(line.rfind("FAIL  ", 0), 0u) << promised.output;
    EXPECT_NE(line.find(b.reason), std::string::npos) << line;

    const Outcome unpromised = validate(only + kPlugin, b.fault);
    EXPECT_EQ(unpromised.status, 0) << unpromised.output;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ValidatorHolds,
    testing::Values(
        BrokenPromise{"hiss", "exact-silence 1", "a held note sounds",
                      "not silent (exact zeros) 1.0 s after the last note ended: peak 1e-09"},
        BrokenPromise{"odd-opcodes", "unknown-opcodes-answer-0", "every opcode",
                      "opcode 80 answered 1"},
        BrokenPromise{"short-names", "program-names 23", "program names end",
                      "a 23-character name reads back as \"A program name \""},
        BrokenPromise{"any-rate", "ignores-invalid-sample-rates", "non-finite sample rates",
                      "at sample rate 0: output 0, frame 0 is nan"}),
    [](const testing::TestParamInfo<BrokenPromise>& info) {
        std::string name = info.param.fault;
        for (char& c : name)
            if (c == '-') c = '_';
        return name;
    });

TEST(Validator, RefusesPromisesItCannotRead) {
    for (const char* promise : {"exact-silence", "program-names 24", "always-in-tune",
                                "near-silence-by Gain", "unknown-opcodes-answer-0 please"}) {
        const Outcome run = validate(std::string("--promise '") + promise + "' " + kPlugin);
        EXPECT_EQ(run.status, 2) << promise << ": " << run.output;
        EXPECT_EQ(
            run.output.rfind("quillo-validate: --promise '" + std::string(promise) + "': ", 0), 0u)
            << run.output;
    }
    const Outcome alone = validate("--promise 'near-silence-patch Gain=1' " + kPlugin);
    EXPECT_EQ(alone.status, 2) << alone.output;
}

TEST(ValidatorOnFaultyPlugin, ListedFailureIsShownAsKnownAndDoesNotFail) {
    const std::string list = testing::TempDir() + "known_failures.txt";
    std::ofstream(list) << "# drifting values\nparameters read back | # values changed *\n";
    const Outcome run =
        validate("--only \"read back\" --known-failures " + list + " " + kPlugin, "drift");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(lineOf(run, "read back").rfind("KNOWN ", 0), 0u) << run.output;
    EXPECT_EQ(lastLine(run.output), "0 passed, 0 failed") << run.output;
}

TEST(ValidatorOnFaultyPlugin, FailureWithAnotherReasonStillFails) {
    const std::string list = testing::TempDir() + "known_other.txt";
    std::ofstream(list) << "a held note sounds | not silent*\n";
    const Outcome run =
        validate("--only \"held note\" --known-failures " + list + " " + kPlugin, "nan");
    EXPECT_EQ(run.status, 1) << run.output;
}

TEST(Validator, RefusesAFileThatIsNoPlugin) {
    const Outcome run = validate("/nonexistent/plugin.so");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(run.output.find("no such plug-in file"), std::string::npos) << run.output;
}

TEST(KnownFailurePattern, StarIsAnyTextAndHashOnlyAFiniteNumber) {
    using quillo::validate::matchesPattern;
    EXPECT_TRUE(matchesPattern("frame # is #", "frame 0 is -1413.3"));
    EXPECT_TRUE(matchesPattern("frame # is #", "frame 12 is 1.5e+06"));
    EXPECT_FALSE(matchesPattern("frame # is #", "frame 12 is nan"));
    EXPECT_FALSE(matchesPattern("frame # is #", "frame 12 is -inf"));
    EXPECT_TRUE(matchesPattern("*: # s in: *", "block size 1: 0.016 s in: output 0"));
    EXPECT_FALSE(matchesPattern("block size #", "block size 17 and more"));
    EXPECT_TRUE(matchesPattern("*", ""));
}

} // namespace
