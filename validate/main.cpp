// quillo-validate: checks that a VST 2 instrument survives what hosts do to it.
//
// Prints one line per check and closes with "N passed, M failed"; the exit status
// is 0 only when nothing failed.

#include "hosting/command_line.h"
#include "hosting/user_error.h"
#include "validate/check.h"
#include "validate/known_failures.h"
#include "validate/runner.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

using namespace quillo::validate;

namespace {

void printUsage(std::FILE* stream) {
    std::fprintf(stream,
                 "usage: quillo-validate [options] PLUGIN.so\n"
                 "\n"
                 "Checks a VST 2 instrument: lifecycle, record, opcodes, parameters,\n"
                 "programs, processing at many rates and block sizes, allocation in the\n"
                 "audio path, determinism, threads and the cost of near-silence.\n"
                 "\n"
                 "  --quick        shorter renders (for CI)\n"
                 "  --seed N       seed of the random streams (default 1)\n"
                 "  --only TEXT    run only the checks whose name contains TEXT\n"
                 "  --timeout S    seconds a check may take (default 300)\n"
                 "  --promises FILE\n"
                 "                 what the plug-in promises beyond what every instrument must\n"
                 "                 do, one promise a line; each makes some checks stricter\n"
                 "  --promise TEXT one promise, as a line of that file (repeatable):\n"
                 "                   exact-silence SECONDS  exact zeros within SECONDS after\n"
                 "                                          the notes end\n"
                 "                   unknown-opcodes-answer-0\n"
                 "                   program-names N        renames keep N characters (1..23)\n"
                 "                   ignores-invalid-sample-rates\n"
                 "                   near-silence-patch NAME=VALUE, ...\n"
                 "                   near-silence-by NAME=VALUE, ...\n"
                 "                                          how a held note fades out while\n"
                 "                                          processing goes on\n"
                 "  --known-failures FILE\n"
                 "                 failures listed there (check | reason pattern) are shown\n"
                 "                 as KNOWN and do not count as failed\n"
                 "  --no-fork      run the checks in this process (for debuggers)\n"
                 "  --list         list the checks and exit\n"
                 "  --help         show this text\n"
                 "\n"
                 "Exit status: 0 when every check passed, 1 when one failed, 2 when the\n"
                 "command line or the plug-in file cannot be used.\n");
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    bool list = false;
    bool help = false;
    std::string knownFailuresPath;
    quillo::hosting::CommandLine line;
    line.flag("-h, --help", help);
    line.flag("--quick", options.quick);
    line.flag("--no-fork", [&] { options.isolate = false; });
    line.flag("--list", list);
    line.option("--seed", [&](const std::string& value) {
        options.seed =
            static_cast<uint64_t>(quillo::hosting::wholeNumber("--seed", value, 0, INT64_MAX));
    });
    line.option("--timeout", [&](const std::string& value) {
        options.timeoutSeconds =
            quillo::hosting::numberIn("--timeout", value, 0.001, 1e6, "a number of seconds");
    });
    line.option("--only", [&](const std::string& value) { options.only = value; });
    line.option("--known-failures", [&](const std::string& value) { knownFailuresPath = value; });
    // A bad promise is a mistake on the command line, like a bad option.
    line.option("--promises", [&](const std::string& value) {
        try {
            options.promises.load(value);
        } catch (const std::invalid_argument& error) {
            throw quillo::UsageError(error.what());
        }
    });
    line.option("--promise", [&](const std::string& value) {
        try {
            options.promises.add(value);
        } catch (const std::invalid_argument& error) {
            throw quillo::UsageError("--promise '" + value + "': " + error.what());
        }
    });
    try {
        const std::vector<std::string> plugins =
            line.parse(std::vector<std::string>(argv + 1, argv + argc));
        if (plugins.size() > 1) throw quillo::UsageError("one plug-in at a time");
        if (!plugins.empty()) options.pluginPath = plugins[0];
    } catch (const quillo::UsageError& error) {
        std::fprintf(stderr, "quillo-validate: %s\n", error.what());
        return 2;
    }
    if (help) {
        printUsage(stdout);
        return 0;
    }

    if (!options.promises.nearSilencePatch.empty() && options.promises.nearSilenceBy.empty()) {
        std::fprintf(stderr, "quillo-validate: a near-silence-patch needs a near-silence-by\n");
        return 2;
    }
    if (list) {
        for (const Check& check : allChecks(options))
            std::printf("%s\n", check.name.c_str());
        return 0;
    }
    if (options.pluginPath.empty()) {
        printUsage(stderr);
        return 2;
    }

    KnownFailures known;
    if (!knownFailuresPath.empty()) {
        try {
            known = KnownFailures::load(knownFailuresPath);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "quillo-validate: %s\n", error.what());
            return 2;
        }
    }

    // Load it once here so that a file that is no plug-in gets one clear message.
    try {
        Context context(options);
        std::printf("Validating %s (\"%s\", %d parameters, %d programs)%s\n",
                    options.pluginPath.c_str(), context.effectName().c_str(), context.numParams(),
                    context.numPrograms(), options.quick ? ", quick" : "");
        for (const std::string& promise : options.promises.given())
            std::printf("Promised: %s\n", promise.c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillo-validate: %s: %s\n", options.pluginPath.c_str(), error.what());
        return 2;
    }
    std::fflush(stdout);

    int passed = 0;
    int failed = 0;
    int knownFailed = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const Check& check : allChecks(options)) {
        if (!options.only.empty() && check.name.find(options.only) == std::string::npos) continue;
        const Outcome outcome =
            options.isolate ? runIsolated(check, options) : runHere(check, options);
        const std::string detail = outcome.detail.empty() ? "" : ": " + outcome.detail;
        switch (outcome.verdict) {
        case Outcome::Verdict::Pass:
            ++passed;
            std::printf("PASS  %s%s\n", check.name.c_str(), detail.c_str());
            break;
        case Outcome::Verdict::Fail:
            if (known.matches(check.name, outcome.detail)) {
                ++knownFailed;
                std::printf("KNOWN %s%s\n", check.name.c_str(), detail.c_str());
            } else {
                ++failed;
                std::printf("FAIL  %s%s\n", check.name.c_str(), detail.c_str());
            }
            break;
        case Outcome::Verdict::Skip:
            std::printf("SKIP  %s%s\n", check.name.c_str(), detail.c_str());
            break;
        }
        std::fflush(stdout);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("Finished in %.1f s\n", seconds);
    if (knownFailed > 0)
        std::printf("%d known failures, listed in %s\n", knownFailed, knownFailuresPath.c_str());
    // Only a full run can tell that an entry is no longer needed.
    if (options.only.empty()) {
        for (const std::string& entry : known.unused())
            std::printf("NOTE  nothing failed as listed in %s: %s\n", knownFailuresPath.c_str(),
                        entry.c_str());
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
