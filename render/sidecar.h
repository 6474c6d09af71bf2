// Sidecars: OUTPUT.json beside a rendered file, saying what made it, so that
// --from-sidecar renders the same bytes again.
//
//   {"sidecar": 1, "output": "0007.wav", "plugin": "/usr/lib/vst/quillo.so",
//    "midi": "song.mid", "program": null, "bank": null, "preset": null,
//    "random_params": {"seed": 7, "vary": ["Wave1", ...]},
//    "parameters": [{"index": 0, "name": "Wave1", "value": 0.2995, "text": "Pulse"}, ...],
//    "automation": null,
//    "options": ["--rate=44100", "--block=512", "--tail=5", "--format=wav,f32"]}
//
// Instead of "midi", "demo": true or "notes": [48, 60, 72] for the built-in phrases.
// The parameters are every value as the render began, after the program, the
// preset, the draws and --param; the automation file, if any, moves them from
// there. A file inside the sidecar's folder is named by its way from there, so the
// two can move together; any other by its absolute path.
#pragma once

#include "render/job.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillo::render {

// Where the sidecar of an output goes.
std::string sidecarPath(const std::string& output);

// The sidecar's text for a job rendered through the plug-in at pluginPath.
std::string sidecarText(const Job& job, const std::string& pluginPath, const JobResult& result);

// Writes it beside the output, under a temporary name renamed into place. Throws
// UserError.
void writeSidecar(const Job& job, const std::string& pluginPath, const JobResult& result);

// The job a sidecar describes: the arguments it holds, then those of the command
// line, which may change them. Its output is the one it names, beside it, unless the
// command line gives -o or --output-dir. Throws UserError naming the file.
Job jobFromSidecar(const std::string& path, const Options& commandLine);

} // namespace quillo::render
