// One render of quillo-render: a MIDI file (or the demo) through fresh instances of
// an instrument into one output, with its own options.
#pragma once

#include "render/audio_file.h"
#include "render/instrument.h"
#include "render/options.h"
#include "render/renderer.h"
#include "render/report.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillo::render {

struct Job {
    Options options;   // the whole render
    std::string input; // a MIDI file, "-", or empty for the demo
    std::string output;
    AudioFormat format;
    // Where the job was asked for ("jobs.csv:3"), put before its errors; empty for
    // a file named on the command line.
    std::string place;
};

// A parameter as the render began.
struct ParameterValue {
    int32_t index;
    std::string name;
    float value;
    std::string text;
};

struct JobResult {
    RenderResult render;
    float peak = 0.0f; // as written, after the gain
    std::vector<ParameterValue> parameters;
    std::vector<std::string> varied; // the names --random-params drew
};

// The job that renders the input with the options: its output (-o, or named after
// the input), its format. Throws UsageError, after the place if there is one.
Job planJob(const Options& options, const std::string& input, const std::string& place);

// Throws UsageError when two jobs would write the same file.
void requireDistinctOutputs(const std::vector<Job>& jobs);

// The instrument plug-ins of a run, each opened once, when a job first needs it,
// and shared by the jobs from then on.
class Libraries {
  public:
    // The plug-in the options name, or the default one. Throws UserError, for each
    // job that asks for a plug-in that cannot be opened.
    InstrumentLibrary& get(const Options& options);

  private:
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<InstrumentLibrary>> opened_;
    std::map<std::string, std::string> failed_;
};

// Renders the job, its warnings and summary into the report, and its sidecar when
// it has one; writeAside: on a thread of its own (see writer_thread.h), when a core
// is free for it. Throws UserError.
JobResult renderJob(InstrumentLibrary& library, const Job& job, JobReport& report, bool writeAside);

// Whether the job writes a sidecar: asked for, or with drawn parameters.
bool writesSidecar(const Job& job);

} // namespace quillo::render
