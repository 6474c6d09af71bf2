// The job lists of --batch: one job a line, each naming its MIDI file, its output
// and any option of a render, over the options of the command line.
//
// CSV: a header row names the columns; "midi", "output", the long options without
// their dashes ("rate", "format", "preset", "mono", ...) and "param:NAME" for a
// parameter's value. An empty cell gives nothing.
//
//   midi,output,preset,param:Cutoff,rate
//   song.mid,acid.wav,Acid Squelch,0.3,48000
//
// JSON Lines: an object a line with the same keys, the parameters as "params":
//
//   {"midi": "song.mid", "output": "acid.wav", "preset": "Acid Squelch",
//    "params": {"Cutoff": 0.3}, "rate": 48000}
//
// Paths are taken as on the command line, from the current directory.
#pragma once

#include "render/job.h"
#include "render/options.h"

#include <string>
#include <vector>

namespace quillo::render {

// The jobs of the file ("-" for standard input): CSV, or JSON Lines when the name
// ends in .jsonl, .ndjson or .json or the first line starts with '{'. Throws
// UsageError naming the file and line ("jobs.csv:3: ...").
std::vector<Job> readJobList(const std::string& path, const Options& commandLine);

// The same from the file's text; name is the file's for messages.
std::vector<Job> parseJobList(const std::string& text, const std::string& name,
                              const Options& commandLine);

} // namespace quillo::render
