// What every validator check sees: the plug-in under test, the options, and the
// ways a check ends (returning passes, fail() and skip() throw).
#pragma once

#include "hosting/plugin_instance.h"
#include "hosting/plugin_library.h"
#include "validate/promises.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillo::validate {

struct Options {
    std::string pluginPath;
    bool quick = false;
    uint64_t seed = 1;
    double timeoutSeconds = 300.0;
    bool isolate = true; // each check in a child process of its own
    std::string only;    // run only checks whose name contains this
    Promises promises;   // what the plug-in promises beyond the generic rules
};

// The plug-in as a check uses it. Built inside the process that runs the check.
class Context {
  public:
    explicit Context(const Options& options);

    const Options& options() const { return options_; }
    bool quick() const { return options_.quick; }
    uint64_t seed() const { return options_.seed; }
    const Promises& promises() const { return options_.promises; }
    const std::string& effectName() const { return effectName_; }
    int32_t numParams() const { return numParams_; }
    int32_t numPrograms() const { return numPrograms_; }

    // A new instance, created but not opened.
    std::unique_ptr<hosting::PluginInstance> create() const;

  private:
    Options options_;
    std::shared_ptr<hosting::PluginLibrary> library_;
    std::string effectName_;
    int32_t numParams_ = 0;
    int32_t numPrograms_ = 0;
};

struct CheckFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct CheckSkipped : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] inline void fail(const std::string& reason) {
    throw CheckFailed(reason);
}
[[noreturn]] inline void skip(const std::string& reason) {
    throw CheckSkipped(reason);
}
inline void expect(bool condition, const std::string& reason) {
    if (!condition) fail(reason);
}

// Tells the runner what the check is doing now, so that a crash can be placed.
// Cheap enough for every phase of a check, not for every block.
void progress(const std::string& step);

// A check returns a short note for its PASS line, or an empty one.
using CheckFunction = std::function<std::string(const Context&)>;

struct Check {
    std::string name;
    CheckFunction run;
};

// Every check, in the order they run.
std::vector<Check> allChecks(const Options& options);

// The groups that allChecks puts together.
void addLifecycleChecks(std::vector<Check>& checks);
void addRecordChecks(std::vector<Check>& checks);
void addOpcodeCheck(std::vector<Check>& checks);
void addParameterChecks(std::vector<Check>& checks);
void addProcessingChecks(std::vector<Check>& checks);
void addRealtimeChecks(std::vector<Check>& checks);

} // namespace quillo::validate
